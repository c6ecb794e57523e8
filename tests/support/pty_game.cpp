#include "support/pty_game.hpp"

#include <fcntl.h>
#include <poll.h>
// openpty: Linux, FreeBSD, then macOS and the other BSDs.
#if __has_include(<pty.h>)
#include <pty.h>
#elif __has_include(<libutil.h>)
#include <libutil.h>
#else
#include <util.h>
#endif
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <regex>
#include <stdexcept>

#include "support/game_process.hpp"

namespace oneline::testing {

namespace {

using Clock = std::chrono::steady_clock;

// Under qemu-user (a cross build's tests), the emulator reports a signal that dumps core with a
// line of its own after the game's last output, which no real machine writes.
void dropEmulatorReport([[maybe_unused]] std::string& text) {
#ifdef ONELINE_TESTS_UNDER_EMULATOR
  static const std::regex report(
      "qemu: uncaught target signal [0-9]+ \\([^)]*\\) - core dumped\r\n");
  text = std::regex_replace(text, report, "");
#endif
}

bool sameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// In the game's process, just before it runs: what its starter would have set up.
[[noreturn]] void execGame(const PtyGame::Options& options) {
  if (options.term != nullptr) {
    setenv("TERM", options.term, 1);
  } else {
    unsetenv("TERM");
  }
  if (options.preload != nullptr) preloadIntoGame(options.preload);
  if (options.newSession) setsid();
  if (options.ignoreHangup) ::signal(SIGHUP, SIG_IGN);
  if (options.ignoreTerminalInput) ::signal(SIGTTIN, SIG_IGN);
  // Crash signals in the tests leave no core files behind.
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  // Nothing of the test's but the terminal and the output.
  for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd) close(fd);
  execl(ONELINE_EXE, ONELINE_EXE, static_cast<char*>(nullptr));
  _exit(127);
}

// The stand-in shell: puts the game in a process group of its own, in the terminal's foreground
// unless started in the background; reports its pid and each of its stops; obeys fg ('f', or 'F'
// without continuing) and bg ('b'); and ends as the game ended (128 + signal, or its exit code).
// Its standard error is always the terminal.
[[noreturn]] void runLeader(const PtyGame::Options& options, int commands, int report) {
  constexpr int terminal = STDERR_FILENO;
  int go[2];
  if (pipe(go) != 0) _exit(120);
  const pid_t game = fork();
  if (game == 0) {
    close(go[1]);
    char byte;
    while (read(go[0], &byte, 1) < 0 && errno == EINTR) {
    }
    execGame(options);
  }
  // A game that makes a session of its own must not lead a process group first.
  if (!options.newSession) setpgid(game, game);
  ::signal(SIGTTOU, SIG_IGN);
  if (!options.background && !options.newSession) tcsetpgrp(terminal, game);
  close(go[1]);
  if (write(report, &game, sizeof game) != sizeof game) _exit(121);
  for (;;) {
    int status = 0;
    const pid_t changed = waitpid(game, &status, WNOHANG | WUNTRACED);
    if (changed == game && WIFSTOPPED(status)) {
      // As a shell does: the terminal comes back to it while the job is stopped.
      tcsetpgrp(terminal, getpgrp());
      if (write(report, "S", 1) != 1) _exit(122);
    } else if (changed == game) {
      _exit(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status));
    }
    pollfd ready{commands, POLLIN, 0};
    if (poll(&ready, 1, 5) <= 0) continue;
    char what = 0;
    if (read(commands, &what, 1) != 1) continue;
    if (what != 'b') tcsetpgrp(terminal, game);
    if (what != 'F') killpg(game, SIGCONT);
  }
}

}  // namespace

bool PtyGame::available() {
  int m = -1;
  int s = -1;
  if (openpty(&m, &s, nullptr, nullptr, nullptr) != 0) return false;
  close(m);
  close(s);
  return true;
}

PtyGame::PtyGame(Options options) : options(std::move(options)) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty");
  // A paste waits for room without holding up the reading of the game's output.
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
  if (this->options.before) {
    termios before{};
    tcgetattr(slave, &before);
    this->options.before(before);
    tcsetattr(slave, TCSANOW, &before);
  }
  tcgetattr(slave, &original);
  if (!this->options.typedAhead.empty()) type(this->options.typedAhead);
  int outPipe[2] = {-1, -1};
  int inPipe[2] = {-1, -1};
  if ((this->options.output == Output::Pipe && pipe(outPipe) != 0) ||
      (this->options.input == PtyInput::Pipe && pipe(inPipe) != 0)) {
    throw std::runtime_error("pipe");
  }
  int report[2];
  int command[2];
  if (pipe(report) != 0 || pipe(command) != 0) throw std::runtime_error("pipe");
  leader = fork();
  if (leader < 0) throw std::runtime_error("fork");
  if (leader == 0) {
    close(master);
    close(report[0]);
    close(command[1]);
    if (outPipe[0] >= 0) close(outPipe[0]);
    if (inPipe[1] >= 0) close(inPipe[1]);
    setsid();
    if (!this->options.leadsSession || this->options.sessionHasTerminal) {
      ioctl(slave, TIOCSCTTY, 0);
    }
    dup2(inPipe[0] >= 0 ? inPipe[0] : slave, STDIN_FILENO);
    dup2(outPipe[1] >= 0 ? outPipe[1] : slave, STDOUT_FILENO);
    dup2(slave, STDERR_FILENO);
    if (this->options.leadsSession) execGame(this->options);
    runLeader(this->options, command[0], report[1]);
  }
  close(report[1]);
  close(command[0]);
  if (outPipe[1] >= 0) close(outPipe[1]);
  if (inPipe[0] >= 0) close(inPipe[0]);
  outRead = outPipe[0];
  keysIn = inPipe[1];
  commands = command[1];
  if (this->options.leadsSession) {
    game = leader;
    close(report[0]);
  } else {
    if (read(report[0], &game, sizeof game) != sizeof game) game = -1;
    reports = report[0];
  }
}

PtyGame::~PtyGame() {
  if (!ended && game > 0) kill(game, SIGKILL);
  if (!ended && leader > 0) waitpid(leader, nullptr, 0);
  for (int fd : {master, slave, outRead, keysIn, commands, reports}) {
    if (fd >= 0) close(fd);
  }
}

void PtyGame::type(const std::string& bytes) {
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t wrote = write(master, bytes.data() + done, bytes.size() - done);
    if (wrote > 0) {
      done += static_cast<std::size_t>(wrote);
    } else if (errno != EAGAIN || Clock::now() > deadline) {
      throw std::runtime_error("typing");
    } else {
      drain(std::chrono::milliseconds(10));
    }
  }
}

void PtyGame::feed(const std::string& keys) {
  if (write(keysIn, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
    throw std::runtime_error("feeding keys");
  }
}

void PtyGame::signal(int signal) { kill(game, signal); }

void PtyGame::command(char what) {
  if (write(commands, &what, 1) != 1) throw std::runtime_error("command");
}

void PtyGame::foreground(bool continueIt) { command(continueIt ? 'f' : 'F'); }

void PtyGame::background() { command('b'); }

void PtyGame::changeSettings(const std::function<void(termios&)>& change) {
  termios now = settings();
  change(now);
  tcsetattr(slave, TCSANOW, &now);
  original = settings();
}

void PtyGame::resize(unsigned short columns, unsigned short rows) {
  winsize size{};
  size.ws_row = rows;
  size.ws_col = columns;
  ioctl(master, TIOCSWINSZ, &size);
}

void PtyGame::closeOutput() {
  close(outRead);
  outRead = -1;
}

void PtyGame::drain(std::chrono::milliseconds wait) {
  if (!ended && leader > 0) {
    int status = 0;
    // The stand-in shell's end; or, where the game leads the session, the game's own stops.
    const pid_t changed = waitpid(leader, &status, WNOHANG | WUNTRACED);
    if (changed == leader && WIFSTOPPED(status)) {
      ++stops;
    } else if (changed == leader) {
      ended = true;
      endStatus = status;
    }
  }
  pollfd fds[3] = {{master, POLLIN, 0}, {reports, POLLIN, 0}, {outRead, POLLIN, 0}};
  if (poll(fds, 3, static_cast<int>(wait.count())) <= 0) return;
  for (const pollfd& fd : fds) {
    if (fd.fd < 0 || (fd.revents & POLLIN) == 0) continue;
    char chunk[4096];
    const ssize_t got = read(fd.fd, chunk, sizeof chunk);
    if (got <= 0) continue;
    if (fd.fd == reports) {
      stops += static_cast<int>(got);
    } else {
      written.append(chunk, static_cast<std::size_t>(got));
    }
  }
}

bool PtyGame::waitForOutput(const std::string& text, std::chrono::milliseconds limit,
                            std::size_t from) {
  const auto deadline = Clock::now() + limit;
  while (written.find(text, from) == std::string::npos) {
    if (Clock::now() > deadline) return false;
    drain(std::chrono::milliseconds(20));
  }
  return true;
}

void PtyGame::play(std::chrono::milliseconds duration) {
  const auto deadline = Clock::now() + duration;
  while (Clock::now() < deadline) drain(std::chrono::milliseconds(10));
}

termios PtyGame::settings() const {
  termios now{};
  tcgetattr(slave, &now);
  return now;
}

bool PtyGame::settingsAreOriginal() const { return sameSettings(settings(), original); }

int PtyGame::unreadInput() const {
  int waiting = 0;
  ioctl(slave, FIONREAD, &waiting);
  return waiting;
}

bool PtyGame::waitForSettings(bool wantOriginal, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (settingsAreOriginal() != wantOriginal) {
    if (Clock::now() > deadline) return false;
    drain(std::chrono::milliseconds(10));
  }
  return true;
}

bool PtyGame::waitUntilStopped(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (stops <= stopsAwaited) {
    if (ended || Clock::now() > deadline) return false;
    drain(std::chrono::milliseconds(10));
  }
  stopsAwaited = stops;
  return true;
}

int PtyGame::waitForEndSignal(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!ended) {
    if (Clock::now() > deadline) return -1;
    drain(std::chrono::milliseconds(10));
  }
  drain(std::chrono::milliseconds(0));
  dropEmulatorReport(written);
  if (WIFSIGNALED(endStatus)) return WTERMSIG(endStatus);
  const int code = WIFEXITED(endStatus) ? WEXITSTATUS(endStatus) : -1;
  return code > 128 ? code - 128 : -1;
}

int PtyGame::exitStatus() const {
  const int code = WIFEXITED(endStatus) ? WEXITSTATUS(endStatus) : -1;
  return code > 128 ? -1 : code;
}

}  // namespace oneline::testing
