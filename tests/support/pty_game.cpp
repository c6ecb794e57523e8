#include "support/pty_game.hpp"

#include <fcntl.h>
#include <poll.h>
#if __has_include(<pty.h>)
#include <pty.h>
#else
#include <util.h>
#endif
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace oneline::testing {

namespace {

using Clock = std::chrono::steady_clock;

bool sameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// The stand-in shell: puts the game in a process group of its own in the terminal's
// foreground, reports its pid, and ends as the game ended (128 + signal, or its exit code).
[[noreturn]] void runLeader(int slave, int outWrite, int report) {
  setsid();
  ioctl(slave, TIOCSCTTY, 0);
  dup2(slave, STDIN_FILENO);
  dup2(outWrite >= 0 ? outWrite : slave, STDOUT_FILENO);
  dup2(slave, STDERR_FILENO);
  int go[2];
  if (pipe(go) != 0) _exit(120);
  const pid_t game = fork();
  if (game == 0) {
    close(go[1]);
    char byte;
    while (read(go[0], &byte, 1) < 0 && errno == EINTR) {
    }
    execl(ONELINE_EXE, ONELINE_EXE, static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(game, game);
  signal(SIGTTOU, SIG_IGN);
  tcsetpgrp(STDIN_FILENO, game);
  close(go[1]);
  if (write(report, &game, sizeof game) != sizeof game) _exit(121);
  int status = 0;
  while (waitpid(game, &status, 0) < 0 && errno == EINTR) {
  }
  _exit(WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status));
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

PtyGame::PtyGame(Output output) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) throw std::runtime_error("openpty");
  tcgetattr(slave, &original);
  int outPipe[2] = {-1, -1};
  if (output == Output::Pipe && pipe(outPipe) != 0) throw std::runtime_error("pipe");
  int report[2];
  if (pipe(report) != 0) throw std::runtime_error("pipe");
  leader = fork();
  if (leader < 0) throw std::runtime_error("fork");
  if (leader == 0) {
    close(master);
    close(report[0]);
    if (outPipe[0] >= 0) close(outPipe[0]);
    runLeader(slave, outPipe[1], report[1]);
  }
  close(report[1]);
  if (outPipe[1] >= 0) close(outPipe[1]);
  outRead = outPipe[0];
  if (read(report[0], &game, sizeof game) != sizeof game) game = -1;
  close(report[0]);
}

PtyGame::~PtyGame() {
  if (game > 0) kill(game, SIGKILL);
  if (leader > 0) waitpid(leader, nullptr, 0);
  for (int fd : {master, slave, outRead}) {
    if (fd >= 0) close(fd);
  }
}

void PtyGame::type(const std::string& bytes) {
  if (write(master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    throw std::runtime_error("typing");
  }
}

void PtyGame::signal(int signal) { kill(game, signal); }

void PtyGame::closeOutput() {
  close(outRead);
  outRead = -1;
}

void PtyGame::drain(std::chrono::milliseconds wait) {
  pollfd fds[2] = {{master, POLLIN, 0}, {outRead, POLLIN, 0}};
  if (poll(fds, outRead >= 0 ? 2 : 1, static_cast<int>(wait.count())) <= 0) return;
  for (const pollfd& fd : fds) {
    if (fd.fd < 0 || (fd.revents & POLLIN) == 0) continue;
    char chunk[4096];
    const ssize_t got = read(fd.fd, chunk, sizeof chunk);
    if (got > 0) written.append(chunk, static_cast<std::size_t>(got));
  }
}

bool PtyGame::waitForOutput(const std::string& text, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (written.find(text) == std::string::npos) {
    if (Clock::now() > deadline) return false;
    drain(std::chrono::milliseconds(20));
  }
  return true;
}

termios PtyGame::settings() const {
  termios now{};
  tcgetattr(slave, &now);
  return now;
}

bool PtyGame::settingsAreOriginal() const { return sameSettings(settings(), original); }

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
  const std::string statPath = "/proc/" + std::to_string(game) + "/stat";
  for (;;) {
    std::ifstream stat(statPath);
    std::string pid, name, state;
    stat >> pid >> name >> state;
    if (state == "T") return true;
    if (Clock::now() > deadline) return false;
    drain(std::chrono::milliseconds(10));
  }
}

int PtyGame::waitForEndSignal(std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  int status = 0;
  while (waitpid(leader, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) return -1;
    drain(std::chrono::milliseconds(10));
  }
  drain(std::chrono::milliseconds(0));
  leader = -1;
  game = -1;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return code > 128 ? code - 128 : -1;
}

}  // namespace oneline::testing
