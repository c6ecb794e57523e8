# Cross-compiles for 32-bit ARMv7 Linux with hard float (armhf) with Debian's
# g++-arm-linux-gnueabihf; the tests run under qemu-arm-static.
set(oneline_triplet arm-linux-gnueabihf)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(oneline_qemu_cpu arm)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
