# Cross-compiling for 64-bit Windows: the same code as a 64-bit program, for
# machines whose kernel cannot run Wine's 32-bit loader (see scripts/test.sh).
set(_triple x86_64-w64-mingw32)
set(_processor x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
