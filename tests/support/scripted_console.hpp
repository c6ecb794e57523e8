#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.hpp"
#include "support/expected_line.hpp"

namespace oneline::testing {

// A keyboard queue filled by the test, a captured line per frame, and a pause that only counts.
class ScriptedConsole : public Console {
 public:
  explicit ScriptedConsole(std::string_view keys = {}) { type(keys); }

  void type(std::string_view keys) {
    for (char key : keys) waiting.push_back(static_cast<unsigned char>(key));
  }
  void typeValue(int key) { waiting.push_back(key); }

  bool keyWaiting() override { return !waiting.empty(); }
  int readKey() override {
    const int key = waiting.front();
    waiting.pop_front();
    return key;
  }
  void pause(int milliseconds) override { pauses.push_back(milliseconds); }
  // Keeps the frame with its carriage return, as the console would receive it.
  void printLine(std::string_view text) override {
    frames.emplace_back(text);
    frames.back() += '\r';
  }

  std::deque<int> waiting;
  std::vector<std::string> frames;
  std::vector<int> pauses;
};

}  // namespace oneline::testing
