# Finds the Wine loader for this build's architecture and makes the wrapper that runs the
# build's Windows programs in a Wine prefix of the build tree. Sets VANTOR_WINE_RUN (empty when
# Wine cannot run them here) and VANTOR_WINE_PREFIX.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(loader /usr/lib/wine/wine64)
  set(hint "Debian's wine64")
else()
  set(loader /usr/lib/wine/wine)
  set(hint "Debian's wine32:i386 on a kernel that runs 32-bit programs")
endif()
set(VANTOR_WINE_RUN "")
set(VANTOR_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
if(EXISTS ${loader})
  # The 32-bit loader is itself a 32-bit program: it fails here when the kernel cannot run one.
  execute_process(COMMAND ${loader} --version RESULT_VARIABLE probe OUTPUT_QUIET ERROR_QUIET)
  if(probe EQUAL 0)
    set(VANTOR_WINE_LOADER ${loader})
    set(VANTOR_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run.sh)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${VANTOR_WINE_RUN}
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
                   @ONLY)
  endif()
endif()
if(NOT VANTOR_WINE_RUN)
  message(STATUS "Wine cannot run ${CMAKE_SYSTEM_PROCESSOR} programs here (needs ${hint}): "
                 "the Windows tests that run programs are not registered.")
endif()
