# Cross-compiles for 64-bit RISC-V Linux (riscv64) with Debian's g++-riscv64-linux-gnu; the
# tests run under qemu-riscv64-static.
set(oneline_triplet riscv64-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(oneline_qemu_cpu riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
