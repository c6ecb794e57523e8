#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <string>

namespace oneline::testing {

// The built game in the foreground of a pseudo-terminal of its own, as a shell would run it:
// a small session leader stands in for the shell, so that job control (Ctrl-Z) works.
class PtyGame {
 public:
  enum class Output { Terminal, Pipe };

  // Whether a pseudo-terminal could be opened; the game is not started otherwise.
  static bool available();

  explicit PtyGame(Output output = Output::Terminal);
  ~PtyGame();
  PtyGame(const PtyGame&) = delete;
  PtyGame& operator=(const PtyGame&) = delete;

  // Types bytes on the terminal, as a user at the keyboard.
  void type(const std::string& bytes);
  void signal(int signal);
  // Closes the test's end of the output pipe: the game's reader goes away.
  void closeOutput();

  // Waits until what the game has written contains text.
  bool waitForOutput(const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Waits until the terminal's settings are (or are not) the ones it had before the game.
  bool waitForSettings(bool original, std::chrono::milliseconds limit = std::chrono::seconds(5));
  bool waitUntilStopped(std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Waits for the end; returns the signal that ended the game, or -1.
  int waitForEndSignal(std::chrono::milliseconds limit = std::chrono::seconds(5));

  termios settings() const;
  bool settingsAreOriginal() const;
  const std::string& output() const { return written; }

 private:
  void drain(std::chrono::milliseconds wait);

  int master = -1;
  int slave = -1;
  int outRead = -1;
  pid_t leader = -1;
  pid_t game = -1;
  termios original{};
  std::string written;
};

}  // namespace oneline::testing
