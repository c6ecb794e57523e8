#pragma once

#include <sys/types.h>
#include <termios.h>

#include <chrono>
#include <functional>
#include <string>

namespace oneline::testing {

enum class PtyOutput { Terminal, Pipe };
enum class PtyInput { Terminal, Pipe };

// How the game is started on its pseudo-terminal.
struct PtyOptions {
  PtyOutput output = PtyOutput::Terminal;
  // Keys from a pipe that the test feeds (printf ddd | oneline), frames still on the terminal.
  PtyInput input = PtyInput::Terminal;
  // Started with &: the terminal stays with the shell.
  bool background = false;
  // Started as the terminal's first process (tmux new-session, ssh -t): nothing can resume a
  // stopped game there.
  bool leadsSession = false;
  // Whether that first process has the terminal as its controlling terminal; without, no session
  // controls the terminal.
  bool sessionHasTerminal = true;
  // Started by the shell in a session of its own (setsid oneline): the terminal is another
  // session's.
  bool newSession = false;
  // Typed before the game starts.
  std::string typedAhead = {};
  // A library preloaded into the game.
  const char* preload = nullptr;
  // Started under nohup: hangups are ignored.
  bool ignoreHangup = false;
  // Started with SIGTTIN ignored: reading the terminal from the background fails instead of
  // stopping the game, which runs on there.
  bool ignoreTerminalInput = false;
  // TERM as the game sees it; null for none.
  const char* term = "xterm";
  // The terminal's settings before the game starts (stty -isig, say).
  std::function<void(termios&)> before = {};
};

// The built game on a pseudo-terminal of its own, as a shell would run it: a small session
// leader stands in for a job-control shell. It gives the game the terminal, takes it back when
// the game stops (and tells the test), and does fg and bg on request.
class PtyGame {
 public:
  using Output = PtyOutput;
  using Options = PtyOptions;

  // Whether a pseudo-terminal could be opened; the game is not started otherwise.
  static bool available();

  explicit PtyGame(Options options = {});
  ~PtyGame();
  PtyGame(const PtyGame&) = delete;
  PtyGame& operator=(const PtyGame&) = delete;

  // Types bytes on the terminal, as a user at the keyboard, or pastes them: a paste larger than
  // the terminal's queue is taken as fast as the game reads.
  void type(const std::string& bytes);
  // Writes keys into the game's input pipe (PtyInput::Pipe).
  void feed(const std::string& keys);
  void signal(int signal);
  // The shell's fg and bg. bash continues a job on fg only if it was stopped.
  void foreground(bool continueIt = true);
  void background();
  // Changes the terminal's settings from outside, as stty would; they become the ones to expect
  // back.
  void changeSettings(const std::function<void(termios&)>& change);
  void resize(unsigned short columns, unsigned short rows);
  // Closes the test's end of the output pipe: the game's reader goes away.
  void closeOutput();

  // Waits until what the game has written from offset from on contains text.
  bool waitForOutput(const std::string& text,
                     std::chrono::milliseconds limit = std::chrono::seconds(5),
                     std::size_t from = 0);
  // Waits until the terminal's settings are (or are not) the ones it had before the game.
  bool waitForSettings(bool original, std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Waits for the next stop of the game, as its shell learns of it.
  bool waitUntilStopped(std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Waits for the end; returns the signal that ended the game, or -1.
  int waitForEndSignal(std::chrono::milliseconds limit = std::chrono::seconds(5));
  // After the end: the game's exit status, or -1 where a signal ended it.
  int exitStatus() const;
  // Lets the game run for a while, collecting what it writes.
  void play(std::chrono::milliseconds duration);

  termios settings() const;
  bool settingsAreOriginal() const;
  // Bytes typed on the terminal that nobody has read.
  int unreadInput() const;
  const std::string& output() const { return written; }
  int stopsSeen() const { return stops; }

 private:
  void drain(std::chrono::milliseconds wait);
  void command(char what);

  Options options;
  int master = -1;
  int slave = -1;
  int outRead = -1;
  int keysIn = -1;
  int commands = -1;
  int reports = -1;
  pid_t leader = -1;
  pid_t game = -1;
  int stops = 0;
  int stopsAwaited = 0;
  bool ended = false;
  int endStatus = 0;
  termios original{};
  std::string written;
};

}  // namespace oneline::testing
