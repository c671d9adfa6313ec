# Cross-builds the Windows program with Debian's mingw-w64 compilers (g++-mingw-w64-x86-64-posix).
# The posix thread model is the one whose libstdc++ has <thread> and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HK_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${HK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${HK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static: without it the program needs libstdc++, libgcc and libwinpthread DLLs beside it,
# and a Windows without them refuses to start it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
