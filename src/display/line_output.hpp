#pragma once

#include <string_view>

namespace oneline {

// Where the finished line goes: the console, or a capture in tests.
class LineOutput {
 public:
  // Writes text and then one carriage return, as a single write, before returning.
  virtual void printLine(std::string_view text) = 0;

 protected:
  ~LineOutput() = default;
};

}  // namespace oneline
