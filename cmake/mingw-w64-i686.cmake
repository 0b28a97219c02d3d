# Toolchain for the 32-bit Windows build (Vantor.dll): cmake -DCMAKE_TOOLCHAIN_FILE=this.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VANTOR_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# SSE2 arithmetic as on x86-64 (the same results, and flush-to-zero for denormals) instead of the
# x87 unit; hosts call in with the stack aligned to 4 bytes only, so functions that need more
# realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mincoming-stack-boundary=2")
