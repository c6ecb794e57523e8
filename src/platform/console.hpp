#pragma once

#include "display/line_output.hpp"

namespace oneline {

// The console services the frame loop needs. One implementation per platform, and scripted
// ones in the tests.
class Console : public LineOutput {
 public:
  // Whether a key is waiting. Never blocks.
  virtual bool keyWaiting() = 0;
  // One waiting key as a character value, 0 to 255: no echo, no Enter needed.
  virtual int readKey() = 0;
  virtual void pause(int milliseconds) = 0;

 protected:
  ~Console() = default;
};

// The process's own console, put into the game's mode on first use and back into its normal
// state on every way out.
Console& systemConsole();

}  // namespace oneline
