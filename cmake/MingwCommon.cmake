# What both mingw-w64 toolchain files share; FENNICK_MINGW_TRIPLE names the
# target. The posix-threads compilers give std::thread and std::mutex.
set(CMAKE_C_COMPILER /usr/bin/${FENNICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER /usr/bin/${FENNICK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER /usr/bin/${FENNICK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${FENNICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
