# libpng for the Windows build, compiled from Debian's own source package of libpng1.6 (the
# version and patches the Linux build links), fetched into this build tree with `apt-get source`.
# Defines PNG::PNG as a static library over ZLIB::ZLIB.
set(libpng_root ${CMAKE_BINARY_DIR}/third_party/libpng)
file(GLOB libpng_dir LIST_DIRECTORIES true ${libpng_root}/libpng1.6-*)
if(NOT libpng_dir OR NOT EXISTS ${libpng_dir}/png.c)
  file(STRINGS /etc/os-release codename_line REGEX "^VERSION_CODENAME=")
  string(REGEX REPLACE "^VERSION_CODENAME=\"?([^\"]*)\"?$" "\\1" codename "${codename_line}")
  if(NOT codename)
    message(FATAL_ERROR "libpng: /etc/os-release names no Debian release.")
  endif()
  message(STATUS "libpng: fetching Debian's source package libpng1.6 of ${codename}")
  file(REMOVE_RECURSE ${libpng_root})
  file(MAKE_DIRECTORY ${libpng_root})
  execute_process(COMMAND apt-get source -qq libpng1.6/${codename}
                  WORKING_DIRECTORY ${libpng_root}
                  RESULT_VARIABLE fetch_result OUTPUT_VARIABLE fetch_output ERROR_VARIABLE fetch_output)
  file(GLOB libpng_dir LIST_DIRECTORIES true ${libpng_root}/libpng1.6-*)
  if(NOT fetch_result EQUAL 0 OR NOT libpng_dir OR NOT EXISTS ${libpng_dir}/png.c)
    message(FATAL_ERROR "libpng: `apt-get source libpng1.6/${codename}` failed. It needs deb-src "
                        "entries for ${codename} and dpkg-dev (./vantor.sh sets both up).\n"
                        "${fetch_output}")
  endif()
endif()
message(STATUS "libpng: ${libpng_dir}")

find_package(ZLIB REQUIRED)
# Only the decoder and encoder proper: no hardware-specific filters (none apply to x86 builds
# without configure's help), the configuration libpng ships as its default.
add_library(png_static STATIC
  ${libpng_dir}/png.c ${libpng_dir}/pngerror.c ${libpng_dir}/pngget.c ${libpng_dir}/pngmem.c
  ${libpng_dir}/pngpread.c ${libpng_dir}/pngread.c ${libpng_dir}/pngrio.c
  ${libpng_dir}/pngrtran.c ${libpng_dir}/pngrutil.c ${libpng_dir}/pngset.c
  ${libpng_dir}/pngtrans.c ${libpng_dir}/pngwio.c ${libpng_dir}/pngwrite.c
  ${libpng_dir}/pngwtran.c ${libpng_dir}/pngwutil.c)
configure_file(${libpng_dir}/scripts/pnglibconf.h.prebuilt
               ${CMAKE_BINARY_DIR}/third_party/libpng-include/pnglibconf.h COPYONLY)
target_include_directories(png_static SYSTEM PUBLIC ${libpng_dir}
                           ${CMAKE_BINARY_DIR}/third_party/libpng-include)
target_link_libraries(png_static PUBLIC ZLIB::ZLIB)
# Its own code, its own warnings: ours stay on for our code only.
target_compile_options(png_static PRIVATE -w)
add_library(PNG::PNG ALIAS png_static)
set(PNG_FOUND TRUE)
