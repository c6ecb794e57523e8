// Preloaded into the built game by a test (Linux): standard output takes at most a few bytes per
// write, every other read of standard input finds nothing yet (EAGAIN), as a non-blocking input
// shared with another reader would, and a terminal is slow to take the game's screen mode, which
// widens the moment in which a signal could find the terminal half taken. Keys must still act in
// order, frames must stay whole, and the terminal must never be left half taken. The stack that
// the game gives its signal handlers must hold 64 KiB, which a handler may need on machines
// with large signal frames (AVX-512): a smaller one ends the game at once. (AddressSanitizer's
// own, smaller stack is off in sanitized runs: ASAN_OPTIONS=use_sigaltstack=0.)
#include <dlfcn.h>
#include <signal.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <ctime>

namespace {

constexpr std::size_t kMostPerWrite = 7;
constexpr int kMostParts = 8;

template <typename Function>
Function next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t writev(int fd, const iovec* parts, int count) {
  using Writev = ssize_t (*)(int, const iovec*, int);
  static const auto real = next<Writev>("writev");
  if (fd != STDOUT_FILENO) return real(fd, parts, count);
  iovec shortened[kMostParts];
  int used = 0;
  std::size_t left = kMostPerWrite;
  for (int i = 0; i < count && used < kMostParts && left > 0; ++i) {
    const std::size_t take = parts[i].iov_len < left ? parts[i].iov_len : left;
    shortened[used++] = {parts[i].iov_base, take};
    left -= take;
  }
  return real(fd, shortened, used);
}

extern "C" ssize_t read(int fd, void* buffer, std::size_t size) {
  using Read = ssize_t (*)(int, void*, std::size_t);
  static const auto real = next<Read>("read");
  static int inputReads = 0;
  if (fd == STDIN_FILENO && inputReads++ % 2 == 0) {
    errno = EAGAIN;
    return -1;
  }
  return real(fd, buffer, size);
}

extern "C" ssize_t write(int fd, const void* buffer, std::size_t size) {
  using Write = ssize_t (*)(int, const void*, std::size_t);
  static const auto real = next<Write>("write");
  constexpr char kEnterScreen[] = "\x1b[?25l";
  const ssize_t written = real(fd, buffer, size);
  if (fd == STDOUT_FILENO && size >= sizeof kEnterScreen - 1 &&
      std::memcmp(buffer, kEnterScreen, sizeof kEnterScreen - 1) == 0) {
    const timespec slow{0, 20'000'000};
    nanosleep(&slow, nullptr);
  }
  return written;
}

extern "C" int sigaltstack(const stack_t* stack, stack_t* old) {
  using Sigaltstack = int (*)(const stack_t*, stack_t*);
  static const auto real = next<Sigaltstack>("sigaltstack");
  if (stack != nullptr && (stack->ss_flags & SS_DISABLE) == 0 && stack->ss_size < 64 * 1024) {
    constexpr char kTooSmall[] = "flaky_io: the signal stack is smaller than 64 KiB\n";
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, kTooSmall, sizeof kTooSmall - 1);
    _exit(99);
  }
  return real(stack, old);
}
