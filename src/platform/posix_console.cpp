// Console services for Linux and macOS: a terminal, a pipe or a file on standard input, and a
// terminal, a pipe or a file on standard output.
#include <poll.h>
#include <signal.h>
#include <sys/uio.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "platform/console.hpp"

namespace oneline {
namespace {

constexpr int kIn = STDIN_FILENO;
constexpr int kOut = STDOUT_FILENO;

// While playing on a terminal: cursor hidden, autowrap off, so a narrow terminal cuts the line
// at its edge instead of scrolling. Leaving puts both back and moves below the last frame.
constexpr char kEnterScreen[] = "\x1b[?25l\x1b[?7l";
constexpr char kLeaveScreen[] = "\x1b[?7h\x1b[?25h\n";

constexpr int kEndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGPIPE};

// Shared with the signal handlers; all written before any handler is installed.
termios savedTermios;
termios gameTermios;
bool inIsTerminal = false;
bool outIsTerminal = false;
// The game's mode is on; handlers leave it at most once per entry.
volatile sig_atomic_t inGameMode = 0;
// Set while the game runs; a continue after a stop re-enters the game's mode only then.
volatile sig_atomic_t playing = 0;

// Async-signal-safe.
void writeAll(const char* text, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(kOut, text, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text += written;
    size -= static_cast<std::size_t>(written);
  }
}

// Async-signal-safe.
void enterGameMode() {
  if (inIsTerminal) tcsetattr(kIn, TCSANOW, &gameTermios);
  if (outIsTerminal) writeAll(kEnterScreen, sizeof kEnterScreen - 1);
  inGameMode = 1;
}

// Async-signal-safe.
void leaveGameMode() {
  if (inGameMode == 0) return;
  inGameMode = 0;
  if (inIsTerminal) tcsetattr(kIn, TCSANOW, &savedTermios);
  if (outIsTerminal) writeAll(kLeaveScreen, sizeof kLeaveScreen - 1);
}

void setHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  // No handler of ours interrupts another.
  for (int other : kEndingSignals) sigaddset(&action.sa_mask, other);
  sigaddset(&action.sa_mask, SIGTSTP);
  sigaddset(&action.sa_mask, SIGCONT);
  // Putting the terminal back must not be stopped from the background; taking it over again
  // (the continue handler) must be, as any job's would.
  if (signal != SIGCONT) sigaddset(&action.sa_mask, SIGTTOU);
  sigaction(signal, &action, nullptr);
}

// Ends the process by the signal's own default action, so the parent sees the real cause.
void raiseByDefault(int signal) {
  setHandler(signal, SIG_DFL);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
}

void onEndingSignal(int signal) {
  playing = 0;
  leaveGameMode();
  raiseByDefault(signal);
  _exit(128 + signal);
}

void onStopSignal(int) {
  const int savedErrno = errno;
  leaveGameMode();
  raiseByDefault(SIGTSTP);
  // Continued: the SIGCONT handler, held back until this one returns, re-enters the game.
  setHandler(SIGTSTP, onStopSignal);
  errno = savedErrno;
}

void onContinueSignal(int) {
  const int savedErrno = errno;
  if (playing != 0) enterGameMode();
  errno = savedErrno;
}

bool isIgnored(int signal) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler == SIG_IGN;
}

void restoreAtExit() {
  sigset_t all;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, nullptr);
  playing = 0;
  leaveGameMode();
}

// Output that can no longer be written ends the game quietly.
[[noreturn]] void endAfterFailedWrite() {
  restoreAtExit();
  _exit(1);
}

class PosixConsole final : public Console {
 public:
  PosixConsole() {
    inIsTerminal = tcgetattr(kIn, &savedTermios) == 0;
    outIsTerminal = isatty(kOut) != 0;
    if (inIsTerminal) {
      gameTermios = savedTermios;
      // Every byte as typed: no line editing, echo, flow control or translation. Signal keys
      // (Ctrl-C, Ctrl-\, Ctrl-Z) keep working.
      gameTermios.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
      gameTermios.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
      // A read returns at once, with a waiting byte or with none.
      gameTermios.c_cc[VMIN] = 0;
      gameTermios.c_cc[VTIME] = 0;
    }
    for (int signal : kEndingSignals) {
      // A signal ignored by whoever started us (nohup, a background job) stays ignored.
      if (!isIgnored(signal)) setHandler(signal, onEndingSignal);
    }
    if (!isIgnored(SIGTSTP)) setHandler(SIGTSTP, onStopSignal);
    setHandler(SIGCONT, onContinueSignal);
    std::atexit(restoreAtExit);
    playing = 1;
    enterGameMode();
  }

  PosixConsole(const PosixConsole&) = delete;
  PosixConsole& operator=(const PosixConsole&) = delete;

  bool keyWaiting() override {
    if (inputEnded) return false;
    if (!inIsTerminal) {
      // A pipe or a file: look first, so that a read never waits for a key.
      pollfd in{kIn, POLLIN, 0};
      const int ready = poll(&in, 1, 0);
      if (ready == 0 || (ready < 0 && errno == EINTR)) return false;
      if (ready < 0 || (in.revents & POLLNVAL) != 0) return endInput();
    }
    // On the terminal the game's mode makes this read return at once.
    unsigned char byte = 0;
    const ssize_t got = read(kIn, &byte, 1);
    if (got == 1) {
      waitingKey = byte;
      return true;
    }
    if (got == 0) return inIsTerminal ? false : endInput();
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) return false;
    return endInput();
  }

  int readKey() override { return waitingKey; }

  void pause(int milliseconds) override {
    timespec left{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1'000'000L};
    // A handled signal (a stop and continue, say) must not cut the pause short.
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
  }

  void printLine(std::string_view text) override {
    char carriageReturn = '\r';
    iovec parts[2] = {{const_cast<char*>(text.data()), text.size()}, {&carriageReturn, 1}};
    iovec* next = parts;
    int count = 2;
    while (count > 0) {
      const ssize_t written = writev(kOut, next, count);
      if (written == 0) endAfterFailedWrite();
      if (written < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
          pollfd out{kOut, POLLOUT, 0};
          poll(&out, 1, -1);
          continue;
        }
        endAfterFailedWrite();
      }
      auto rest = static_cast<std::size_t>(written);
      while (count > 0 && rest >= next->iov_len) {
        rest -= next->iov_len;
        ++next;
        --count;
      }
      if (count > 0) {
        next->iov_base = static_cast<char*>(next->iov_base) + rest;
        next->iov_len -= rest;
      }
    }
  }

 private:
  bool endInput() {
    inputEnded = true;
    return false;
  }

  bool inputEnded = false;
  int waitingKey = 0;
};

}  // namespace

Console& systemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace oneline
