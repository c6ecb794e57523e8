#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace oneline::testing {

// How the game is started: its keys and its output.
struct GameOptions {
  std::string keys = {};
  // A library preloaded into the game.
  const char* preload = nullptr;
  // Keys through a pipe whose writer has already gone (printf ddd | oneline), not a file.
  bool keysFromPipe = false;
  // Output backed up: a pipe of one page already holding this many unread bytes, which the reads
  // skip. The game's writes wait for room.
  std::size_t backlog = 0;
  // Output left non-blocking by whoever opened it.
  bool nonBlockingOutput = false;
};

// The built game running as a child process: keys from a file or a pipe on its standard input,
// its standard output read through a pipe.
class GameProcess {
 public:
  explicit GameProcess(const GameOptions& options);
  // Keys from a file, with a library preloaded into the game where preload is not null.
  explicit GameProcess(const std::string& keys, const char* preload = nullptr)
      : GameProcess(GameOptions{.keys = keys, .preload = preload}) {}
  ~GameProcess();
  GameProcess(const GameProcess&) = delete;
  GameProcess& operator=(const GameProcess&) = delete;

  // Reads until count whole frames (81 bytes each) have arrived or the time runs out.
  std::vector<std::string> readFrames(std::size_t count,
                                      std::chrono::milliseconds limit = std::chrono::seconds(20));
  void signal(int signal);
  // The processor time the game has used so far (Linux's /proc); -1 where it cannot be read.
  std::chrono::milliseconds cpuTime() const;
  // Sends signal and waits for the end; returns the wait status.
  int stop(int signal);

 private:
  pid_t pid = -1;
  int out = -1;
  std::size_t skip = 0;
  std::string pending;
};

// In a child about to exec the game: preloads library into it.
void preloadIntoGame(const char* library);

// How a game that ends by itself ended: its wait status and what it wrote on standard error.
struct Ending {
  int status = 0;
  std::string errors;
};

// Runs the game with no keys and its standard output on out (closed when out is -1), waits up to
// five seconds for it to end by itself (it is killed after that).
Ending runUntilItEnds(int out, bool ignoreBrokenPipe = false);

}  // namespace oneline::testing
