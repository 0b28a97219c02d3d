# Toolchain for the 64-bit Windows build (Vantor64.dll): cmake -DCMAKE_TOOLCHAIN_FILE=this.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VANTOR_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
