// Keys read from the terminal and not yet acted on, one a frame, in the order typed. Each frame
// takes everything the terminal holds in its one read, so that Ctrl-C, Ctrl-\ and Ctrl-Z never
// wait behind a paste in the terminal's own queue; this queue keeps the keys meanwhile.
#pragma once

#include <cstddef>

namespace oneline {

// A ring of the keys that wait: keys beyond the bound are dropped, never the oldest.
class KeyQueue {
 public:
  static constexpr std::size_t kCapacity = 4096;

  bool empty() const { return count == 0; }
  void clear() { count = 0; }
  // Keeps what fits, in order; drops the rest.
  void push(const unsigned char* keys, std::size_t size) {
    for (std::size_t i = 0; i < size && count < kCapacity; ++i) {
      slots[(head + count) % kCapacity] = keys[i];
      ++count;
    }
  }
  // The oldest key; the queue must not be empty.
  int pop() {
    const int key = slots[head];
    head = (head + 1) % kCapacity;
    --count;
    return key;
  }

 private:
  unsigned char slots[kCapacity];
  std::size_t head = 0;
  std::size_t count = 0;
};

}  // namespace oneline
