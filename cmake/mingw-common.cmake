# Shared by the mingw-w64 toolchain files, which set _triple and _processor.
# VANTREL_MINGW_THREADS selects the compiler variant: "win32" for the product
# (no pthread emulation, nothing newer than Windows 2000 pulled in), "posix"
# for the test programs, whose framework needs std::mutex and friends.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${_processor})
if(NOT DEFINED VANTREL_MINGW_THREADS)
  set(VANTREL_MINGW_THREADS win32)
endif()
set(CMAKE_C_COMPILER ${_triple}-gcc-${VANTREL_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${_triple}-g++-${VANTREL_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
