# Cross-compiles for IBM Z Linux (s390x, big-endian) with Debian's g++-s390x-linux-gnu; the
# tests run under qemu-s390x-static.
set(oneline_triplet s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(oneline_qemu_cpu s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
