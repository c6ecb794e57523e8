#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace oneline::testing {

// The built game running as a child process: keys from a file on its standard input, its
// standard output read through a pipe.
class GameProcess {
 public:
  // Starts the game with keys as the contents of its standard input, with a library preloaded
  // into it where preload is not null.
  explicit GameProcess(const std::string& keys, const char* preload = nullptr);
  ~GameProcess();
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;

  // Reads until count whole frames (81 bytes each) have arrived or the time runs out.
  std::vector<std::string> readFrames(std::size_t count,
                                      std::chrono::milliseconds limit = std::chrono::seconds(20));
  // Sends signal and waits for the end; returns the wait status.
  int stop(int signal);

 private:
  pid_t pid = -1;
  int out = -1;
  std::string pending;
};

// How a game that ends by itself ended: its wait status and what it wrote on standard error.
struct Ending {
  int status = 0;
  std::string errors;
};

// Runs the game with no keys and its standard output on out (closed when out is -1), waits up to
// five seconds for it to end by itself (it is killed after that).
Ending runUntilItEnds(int out, bool ignoreBrokenPipe = false);

}  // namespace oneline::testing
