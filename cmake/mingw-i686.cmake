# Cross-compiling for 32-bit Windows with Debian's mingw-w64: the product.
set(_triple i686-w64-mingw32)
set(_processor i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
