# Shared part of the clang toolchain files: Debian's clang and lld, with MinGW-w64's headers,
# libraries and libstdc++ (posix threads flavour, as the GCC build uses). TOLVAR_MINGW_TRIPLE
# names the target.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${TOLVAR_MINGW_TRIPLE})
set(CMAKE_CXX_COMPILER_TARGET ${TOLVAR_MINGW_TRIPLE})
# clang does not find Debian's "12-posix" GCC directory by itself.
set(tolvar_gcc_dir /usr/lib/gcc/${TOLVAR_MINGW_TRIPLE}/12-posix)
# libstdc++'s header defines type_info's == inline for this target, and the library holds a copy
# of its own; unoptimized, clang emits the inline one too, and lld refuses the pair. The define
# leaves the header's out, so calls go to the library's.
set(CMAKE_CXX_FLAGS_INIT
  "-isystem ${tolvar_gcc_dir}/include/c++ -isystem ${tolvar_gcc_dir}/include/c++/${TOLVAR_MINGW_TRIPLE} -D__GXX_TYPEINFO_EQUALITY_INLINE=0")
# That libstdc++ calls winpthread, which clang's driver does not link; lld takes archives in any
# order, so it can come first.
set(tolvar_link "-fuse-ld=lld -L${tolvar_gcc_dir} -static -Wl,-Bstatic -lwinpthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${tolvar_link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${tolvar_link}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${tolvar_link}")
# These builds are for clang's warnings, which its front end gives at any optimization level, and
# their programs never run: the optimizer is left out (it was most of their build time). NDEBUG
# stays, so the warnings see the code a release build compiles.
set(CMAKE_C_FLAGS_RELEASE "-DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-DNDEBUG" CACHE STRING "")
