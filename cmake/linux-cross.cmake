# Shared by the toolchain files of the other Linux machines: Debian's cross compilers
# (g++-<triplet>) and qemu-user (qemu-user-static) to run what they build. The including file
# sets oneline_triplet, CMAKE_SYSTEM_PROCESSOR and oneline_qemu_cpu.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${oneline_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${oneline_triplet}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${oneline_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The emulator takes the machine's C library from Debian's cross folder, and so do the programs
# that a test starts (through the kernel's binfmt_misc handler, which knows no -L): the library
# path keeps the system's library cache from pairing the cross folder's loader with a multiarch
# C library of another version (libc6:arm64), which breaks fork.
set(oneline_cross_root /usr/${oneline_triplet})
set(CMAKE_CROSSCOMPILING_EMULATOR
    qemu-${oneline_qemu_cpu}-static -L ${oneline_cross_root} -E QEMU_LD_PREFIX=${oneline_cross_root}
    -E LD_LIBRARY_PATH=${oneline_cross_root}/lib)
