# Shared part of the MinGW-w64 cross toolchains. The including file sets KERVALE_MINGW_TRIPLET
# (i686-w64-mingw32 or x86_64-w64-mingw32) and CMAKE_SYSTEM_PROCESSOR.
set(CMAKE_SYSTEM_NAME Windows)

# The "posix" thread model gives the whole C++ thread library; -static below links its
# winpthreads into each program, so nothing beyond system DLLs is needed at run time.
foreach(tool gcc g++)
  if(EXISTS /usr/bin/${KERVALE_MINGW_TRIPLET}-${tool}-posix)
    set(KERVALE_MINGW_${tool} ${KERVALE_MINGW_TRIPLET}-${tool}-posix)
  else()
    set(KERVALE_MINGW_${tool} ${KERVALE_MINGW_TRIPLET}-${tool})
  endif()
endforeach()
set(CMAKE_C_COMPILER ${KERVALE_MINGW_gcc})
set(CMAKE_CXX_COMPILER ${KERVALE_MINGW_g++})
set(CMAKE_RC_COMPILER ${KERVALE_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KERVALE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes are linked into every program and DLL.
set(KERVALE_MINGW_STATIC "-static -static-libgcc -static-libstdc++")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${KERVALE_MINGW_STATIC}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${KERVALE_MINGW_STATIC}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${KERVALE_MINGW_STATIC}")
