#include "support/game_process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace oneline::testing {

namespace {

constexpr std::size_t kFrameBytes = 81;

// Starts the built game with in, out and errors as its standard streams (out closed when it is
// -1), a library preloaded where preload is not null.
pid_t spawnGame(int in, int out, int errors, const char* preload = nullptr,
                bool ignoreBrokenPipe = false) {
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid > 0) return pid;
  dup2(in, STDIN_FILENO);
  if (out >= 0) {
    dup2(out, STDOUT_FILENO);
  } else {
    close(STDOUT_FILENO);
  }
  dup2(errors, STDERR_FILENO);
  if (ignoreBrokenPipe) signal(SIGPIPE, SIG_IGN);
  if (preload != nullptr) preloadIntoGame(preload);
  execl(ONELINE_EXE, ONELINE_EXE, static_cast<char*>(nullptr));
  _exit(127);
}

}  // namespace

void preloadIntoGame(const char* library) {
  setenv("LD_PRELOAD", library, 1);
  // A sanitized game would otherwise refuse a library loaded before its runtime.
  const char* asan = std::getenv("ASAN_OPTIONS");
  setenv("ASAN_OPTIONS",
         (std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0").c_str(), 1);
}

GameProcess::GameProcess(const GameOptions& options) : skip(options.backlog) {
  int keys[2];  // the game's end, the test's end
  if (options.keysFromPipe) {
    if (pipe(keys) != 0) throw std::runtime_error("pipe");
  } else {
    char path[] = "/tmp/oneline-keys-XXXXXX";
    keys[0] = keys[1] = mkstemp(path);
    if (keys[0] < 0) throw std::runtime_error("mkstemp");
    unlink(path);
  }
  if (write(keys[1], options.keys.data(), options.keys.size()) !=
      static_cast<ssize_t>(options.keys.size())) {
    throw std::runtime_error("keys");
  }
  // A pipe's writer is gone before the game reads, as printf is; a file is read from its start.
  if (options.keysFromPipe ? close(keys[1]) != 0 : lseek(keys[0], 0, SEEK_SET) != 0) {
    throw std::runtime_error("keys");
  }
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) throw std::runtime_error("pipe");
  if (options.backlog > 0) {
#ifdef F_SETPIPE_SZ
    fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);
#endif
    const std::string backlog(options.backlog, '-');
    if (write(pipeEnds[1], backlog.data(), backlog.size()) !=
        static_cast<ssize_t>(backlog.size())) {
      throw std::runtime_error("backlog");
    }
  }
  if (options.nonBlockingOutput) {
    fcntl(pipeEnds[1], F_SETFL, fcntl(pipeEnds[1], F_GETFL) | O_NONBLOCK);
  }
  pid = spawnGame(keys[0], pipeEnds[1], STDERR_FILENO, options.preload);
  close(keys[0]);
  close(pipeEnds[1]);
  out = pipeEnds[0];
}

GameProcess::~GameProcess() {
  if (pid > 0) stop(SIGKILL);
  if (out >= 0) close(out);
}

std::vector<std::string> GameProcess::readFrames(std::size_t count,
                                                 std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (pending.size() < count * kFrameBytes) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{out, POLLIN, 0};
    if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0) break;
    char chunk[4096];
    const ssize_t got = read(out, chunk, sizeof chunk);
    if (got <= 0) break;
    const std::size_t skipped = std::min(skip, static_cast<std::size_t>(got));
    skip -= skipped;
    pending.append(chunk + skipped, static_cast<std::size_t>(got) - skipped);
  }
  std::vector<std::string> frames;
  std::size_t at = 0;
  for (; frames.size() < count && at + kFrameBytes <= pending.size(); at += kFrameBytes) {
    frames.push_back(pending.substr(at, kFrameBytes));
  }
  pending.erase(0, at);
  return frames;
}

std::chrono::milliseconds GameProcess::cpuTime() const {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos) return std::chrono::milliseconds(-1);
  // After the name: the state, then ten fields before the user and system times.
  std::istringstream fields(text.substr(nameEnd + 1));
  std::string skipped;
  for (int i = 0; i < 11; ++i) fields >> skipped;
  long long user = 0;
  long long system = 0;
  fields >> user >> system;
  return std::chrono::milliseconds((user + system) * 1000 / sysconf(_SC_CLK_TCK));
}

void GameProcess::signal(int signal) {
  if (pid > 0) kill(pid, signal);
}

int GameProcess::stop(int signal) {
  int status = 0;
  if (pid > 0) {
    kill(pid, signal);
    waitpid(pid, &status, 0);
    pid = -1;
  }
  return status;
}

Ending runUntilItEnds(int out, bool ignoreBrokenPipe) {
  int errors[2];
  if (pipe(errors) != 0) throw std::runtime_error("pipe");
  const int nothing = open("/dev/null", O_RDONLY);
  const pid_t pid = spawnGame(nothing, out, errors[1], nullptr, ignoreBrokenPipe);
  close(nothing);
  close(errors[1]);
  Ending ending;
  pollfd ready{errors[0], POLLIN, 0};
  char chunk[256];
  ssize_t got = 0;
  while (poll(&ready, 1, 5000) > 0 && (got = read(errors[0], chunk, sizeof chunk)) > 0) {
    ending.errors.append(chunk, static_cast<std::size_t>(got));
  }
  close(errors[0]);
  if (waitpid(pid, &ending.status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &ending.status, 0);
  }
  return ending;
}

}  // namespace oneline::testing
