# Cross-compiles for 64-bit ARM Linux (arm64) with Debian's g++-aarch64-linux-gnu; the tests
# run under qemu-aarch64-static.
set(oneline_triplet aarch64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(oneline_qemu_cpu aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
