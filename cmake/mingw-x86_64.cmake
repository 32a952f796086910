# Cross toolchain: 64-bit Windows programs, the stand-in build for machines
# that cannot run 32-bit code. The same as the 32-bit one but for the triplet.
set(QBX_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
