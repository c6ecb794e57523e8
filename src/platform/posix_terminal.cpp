// The terminal's mode and its signals on Linux and macOS. The game takes the terminal only in
// the foreground, reading the settings to give back at that moment; it gives them back, with
// unread keys dropped, on every way out and on every stop, and takes the terminal again when it
// returns to the foreground. Everything a handler touches is set up before handlers exist, and
// handlers call only async-signal-safe functions. Taking and giving back happen with signals
// blocked, so no signal ever finds the terminal half taken or half given back.
#include "platform/posix_features.hpp"
// The feature macros above come first.
#include "platform/posix_terminal.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace oneline::terminal {
namespace {

constexpr int kIn = STDIN_FILENO;
constexpr int kOut = STDOUT_FILENO;

// While playing: cursor hidden, autowrap off, so a narrow terminal cuts the line at its edge
// instead of scrolling. Leaving puts both back, and a newline keeps the last frame above.
constexpr char kEnterScreen[] = "\x1b[?25l\x1b[?7l";
constexpr char kLeaveScreen[] = "\x1b[?7h\x1b[?25h\n";

// Every catchable signal whose default action ends the process. Each one puts the terminal
// back first, then ends the process by its default action (core dumps included).
constexpr int kEndingSignals[] = {
    SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGPIPE, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF,
    SIGXCPU,   SIGXFSZ, SIGSEGV, SIGBUS,  SIGFPE,  SIGILL,  SIGABRT, SIGTRAP, SIGSYS,
#if defined(__linux__)
    SIGIO,     SIGPWR,  // on BSD and macOS their default action ignores them
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
#ifdef SIGEMT
    SIGEMT,
#endif
};
// Signals whose default action stops the process.
constexpr int kStopSignals[] = {SIGTSTP, SIGTTIN, SIGTTOU};

// Set once in start(), before any handler is installed.
bool inIsTerminal = false;
bool outIsTerminal = false;
// The terminal the game plays on: standard input's, else standard output's; -1 for none.
int terminalFd = -1;
// Where the keys come from a pipe or a file, the terminal opened for reading what is typed there,
// only to drop it; -1 otherwise.
int typedOnlyFd = -1;
bool useEscapes = false;
pid_t ownGroup = 0;
// A crash from a stack overflow still needs a stack to put the terminal back from.
alignas(16) char handlerStack[64 * 1024];

// The terminal's settings as the game found them when it last took the terminal.
termios userSettings;
// The game holds the terminal; whoever clears this gives it back.
volatile sig_atomic_t inGameMode = 0;
// Cleared once the game is ending: nothing takes the terminal after that.
volatile sig_atomic_t playing = 0;
volatile sig_atomic_t resized = 0;
volatile sig_atomic_t handBackCount = 0;
// Set while a stop handler gives the terminal back, stops, and arms the next stop.
volatile sig_atomic_t stopping = 0;

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

// Every byte as typed: no line editing, echo, flow control or translation; a read returns at
// once, with a waiting byte or with none. The signal keys work whatever the user had set, so
// there is always a way out.
termios gameSettings(termios settings) {
  settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHONL | IEXTEN);
  settings.c_lflag |= ISIG;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL | INLCR | IGNCR | ISTRIP);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  const struct {
    int index;
    cc_t key;
  } signalKeys[] = {{VINTR, 0x03}, {VQUIT, 0x1c}, {VSUSP, 0x1a}};  // Ctrl-C, Ctrl-\, Ctrl-Z
  for (const auto& signalKey : signalKeys) {
    if (settings.c_cc[signalKey.index] == _POSIX_VDISABLE) {
      settings.c_cc[signalKey.index] = signalKey.key;
    }
  }
  return settings;
}

// Async-signal-safe. With no terminal there is no foreground to take turns in.
bool inForeground() { return terminalFd < 0 || tcgetpgrp(terminalFd) == ownGroup; }

// Async-signal-safe; called with every signal blocked. Never from the background: a job there
// leaves the terminal to the shell.
void enterGameMode() {
  if (inGameMode != 0 || playing == 0 || !inForeground()) return;
  if (terminalFd >= 0) {
    if (tcgetattr(terminalFd, &userSettings) != 0) return;
    const termios game = gameSettings(userSettings);
    tcsetattr(terminalFd, TCSANOW, &game);
  }
  if (useEscapes) writeAll(kEnterScreen, sizeof kEnterScreen - 1);
  inGameMode = 1;
}

// Async-signal-safe; called with every signal blocked.
void leaveGameMode() {
  if (inGameMode == 0) return;
  inGameMode = 0;
  handBackCount = handBackCount + 1;
  // Keys typed for the game and not read yet are dropped, so that none reaches the shell.
  if (terminalFd >= 0) tcsetattr(terminalFd, TCSAFLUSH, &userSettings);
  if (useEscapes) {
    writeAll(kLeaveScreen, sizeof kLeaveScreen - 1);
  } else if (outIsTerminal) {
    writeAll("\n", 1);
  }
}

void setHandler(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  // No handler interrupts another, and none is stopped for touching the terminal from the
  // background while it puts it back.
  sigfillset(&action.sa_mask);
  action.sa_flags = SA_ONSTACK;
  sigaction(signal, &action, nullptr);
}

// Async-signal-safe.
void changeMask(int how, int signal) {
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  sigprocmask(how, &only, nullptr);
}

// Async-signal-safe. The signal's own default action, so the parent sees the real cause. For a
// stop signal this returns once the process is continued, or at once where the system discards
// the stop (a process group that no shell can resume).
void raiseByDefault(int signal) {
  setHandler(signal, SIG_DFL);
  changeMask(SIG_UNBLOCK, signal);
  raise(signal);
}

void onEndingSignal(int signal) {
  playing = 0;
  leaveGameMode();
  raiseByDefault(signal);
  _exit(128 + signal);
}

void onStopSignal(int signal) {
  const int savedErrno = errno;
  stopping = 1;
  leaveGameMode();
  raiseByDefault(signal);
  // Continued, or the stop did not happen. A second stop from here on waits until this handler
  // returns, so it never finds the terminal half taken: until the block, its default action
  // stops the game with the terminal given back, as the first one did.
  changeMask(SIG_BLOCK, signal);
  setHandler(signal, onStopSignal);
  stopping = 0;
  // Back in the foreground (fg): play on in the game's mode. After bg the terminal stays with
  // the shell.
  enterGameMode();
  errno = savedErrno;
}

void onContinueSignal(int) {
  // Inside a stop handler (where qemu-user runs this handler, though the stop handler's mask
  // blocks it), the terminal is taken back only once the next stop is armed: taken before,
  // a Ctrl-Z would stop the game by its default action with the terminal still raw.
  if (stopping != 0) return;
  const int savedErrno = errno;
  enterGameMode();
  errno = savedErrno;
}

void onResize(int) { resized = 1; }

bool isIgnored(int signal) {
  struct sigaction current {};
  sigaction(signal, nullptr, &current);
  return current.sa_handler == SIG_IGN;
}

// Whoever started the game with a signal ignored (nohup, say) keeps it ignored.
void handleUnlessIgnored(int signal, void (*handler)(int)) {
  if (!isIgnored(signal)) setHandler(signal, handler);
}

// Blocks every signal, so that no handler runs while the caller changes the terminal; returns
// the mask to put back.
sigset_t blockAllSignals() {
  sigset_t all;
  sigset_t before;
  sigfillset(&all);
  sigprocmask(SIG_BLOCK, &all, &before);
  return before;
}

void restoreAtExit() {
  blockAllSignals();
  playing = 0;
  leaveGameMode();
}

// The game plays only on its own controlling terminal. A session leader without one (started
// with setsid) claims a terminal that no session controls; one that another session controls is
// never changed, read or drawn on, and neither is a terminal that the game cannot claim.
void refuseUnlessOwn(int fd) {
  if (tcgetpgrp(fd) >= 0) return;
  const char* why = "it is not this process's controlling terminal";
#ifdef TIOCSCTTY
  if (getsid(0) == getpid()) {
    if (ioctl(fd, TIOCSCTTY, 0) == 0) return;  // 0: never steal it from another session
    if (errno == EPERM) why = "another session controls it";
  }
#endif
  std::fprintf(stderr, "oneline: cannot play on this terminal: %s\n", why);
  std::exit(1);
}

}  // namespace

void start() {
  inIsTerminal = isatty(kIn) != 0;
  outIsTerminal = isatty(kOut) != 0;
  if (inIsTerminal) refuseUnlessOwn(kIn);
  if (outIsTerminal) refuseUnlessOwn(kOut);
  terminalFd = inIsTerminal ? kIn : outIsTerminal ? kOut : -1;
  if (!inIsTerminal && outIsTerminal)
    typedOnlyFd = open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC);
  ownGroup = getpgrp();
  // A dumb terminal (an editor's shell buffer, say) would show escape sequences as text.
  const char* term = std::getenv("TERM");
  useEscapes = outIsTerminal && term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0;

  const sigset_t before = blockAllSignals();
  stack_t stack{};
  stack.ss_sp = handlerStack;
  stack.ss_size = sizeof handlerStack;
  // Where the system asks for more (it may size the minimum by the machine's registers at run
  // time), its minimum, obtained once.
  const std::size_t minimum = MINSIGSTKSZ;
  if (minimum > stack.ss_size) {
    if (void* larger = std::malloc(minimum)) {
      stack.ss_sp = larger;
      stack.ss_size = minimum;
    }
  }
  sigaltstack(&stack, nullptr);
  for (int signal : kEndingSignals) handleUnlessIgnored(signal, onEndingSignal);
#ifdef SIGRTMIN
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) {
    handleUnlessIgnored(signal, onEndingSignal);
  }
#endif
  // The first process of a session (tmux new-session, ssh -t, xterm -e) has no shell to resume
  // it: the system discards Ctrl-Z there, and so does the game, playing on.
  const bool stopCanBeResumed = ownGroup != getsid(0);
  for (int signal : kStopSignals) {
    if (signal != SIGTSTP || stopCanBeResumed) handleUnlessIgnored(signal, onStopSignal);
  }
  setHandler(SIGCONT, onContinueSignal);
  if (useEscapes) setHandler(SIGWINCH, onResize);
  std::atexit(restoreAtExit);
  playing = 1;
  enterGameMode();
  sigprocmask(SIG_SETMASK, &before, nullptr);
}

bool inputIsTerminal() { return inIsTerminal; }

void beginFrame() {
  if (inGameMode == 0) {
    if (!inForeground()) return;
    const sigset_t before = blockAllSignals();
    enterGameMode();
    sigprocmask(SIG_SETMASK, &before, nullptr);
  } else if (typedOnlyFd >= 0) {
    // Never read, the terminal's queue would fill and hold up Ctrl-C behind it. (A flush would
    // also drop a Ctrl-C that is still on its way in behind a paste.)
    static char dropped[4096];
    [[maybe_unused]] const ssize_t ignored = read(typedOnlyFd, dropped, sizeof dropped);
  }
}

int handBacks() { return handBackCount; }

bool mayWriteFrame() { return !outIsTerminal || inGameMode != 0; }

bool takeResize() {
  if (resized == 0) return false;
  resized = 0;
  return true;
}

void endAfterFailedWrite(int error) {
  restoreAtExit();
  if (error != EPIPE) {
    std::fprintf(stderr, "oneline: cannot write to standard output: %s\n",
                 std::strerror(error != 0 ? error : EIO));
  }
  _exit(1);
}

}  // namespace oneline::terminal
