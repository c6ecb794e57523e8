#include "platform/key_queue.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace oneline {
namespace {

// Filled past its bound, the queue keeps the oldest keys, gives every one back in order, and
// drops what came while it was full.
TEST(KeyQueue, FullKeepsTheOldestKeysInOrder) {
  KeyQueue queue;
  std::vector<unsigned char> typed(KeyQueue::kCapacity + 100);
  for (std::size_t i = 0; i < typed.size(); ++i) typed[i] = static_cast<unsigned char>(i * 7);
  queue.push(typed.data(), typed.size());
  for (std::size_t i = 0; i < KeyQueue::kCapacity; ++i) ASSERT_EQ(queue.pop(), typed[i]) << i;
  EXPECT_TRUE(queue.empty());
}

// The bound the README gives: 4,096 keys wait, in order; the next one is dropped.
TEST(KeyQueue, HoldsExactly4096Keys) {
  KeyQueue queue;
  std::vector<unsigned char> typed(4097);
  for (std::size_t i = 0; i < typed.size(); ++i) typed[i] = static_cast<unsigned char>(i % 251);
  queue.push(typed.data(), typed.size());
  for (std::size_t i = 0; i < 4096; ++i) ASSERT_EQ(queue.pop(), typed[i]) << i;
  EXPECT_TRUE(queue.empty()) << "the 4,097th key was kept";
}

// Hours of typing, in bursts that leave the queue partly full and then full across its end.
TEST(KeyQueue, WrapsAroundOverManyTimesItsSize) {
  KeyQueue queue;
  unsigned next = 0;
  unsigned expected = 0;
  for (int round = 0; round < 100; ++round) {
    std::vector<unsigned char> burst(round % 10 == 9 ? KeyQueue::kCapacity : 1000 + round);
    for (auto& key : burst) key = static_cast<unsigned char>(next++ % 251);
    queue.push(burst.data(), burst.size());
    for (std::size_t i = 0; i < burst.size(); ++i)
      ASSERT_EQ(queue.pop(), static_cast<int>(expected++ % 251)) << round;
    ASSERT_TRUE(queue.empty());
  }
}

}  // namespace
}  // namespace oneline
