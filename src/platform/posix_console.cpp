// Console services for Linux and macOS: keys from a terminal, a pipe or a file on standard
// input, frames to a terminal, a pipe or a file on standard output. The terminal's mode and
// signals are posix_terminal.cpp's.
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/console.hpp"
#include "platform/posix_terminal.hpp"

namespace oneline {
namespace {

constexpr int kIn = STDIN_FILENO;
constexpr int kOut = STDOUT_FILENO;

// Erases from the start of the frame's row to the end of the screen: once after a resize, for
// what the terminal kept of earlier frames beyond the line's last column, or wrapped onto the row
// below when it reflowed a narrower screen.
constexpr char kEraseRowAndBelow[] = "\x1b[J";

class PosixConsole final : public Console {
 public:
  PosixConsole() { terminal::start(); }

  PosixConsole(const PosixConsole&) = delete;
  PosixConsole& operator=(const PosixConsole&) = delete;

  bool keyWaiting() override {
    terminal::takeIfInForeground();
    if (inputEnded) return false;
    if (!terminal::inputIsTerminal()) {
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
    // A terminal never ends: a read it refuses (from the background, say) is no key this frame.
    if (terminal::inputIsTerminal()) return false;
    if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return false;
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
    if (!terminal::mayWriteFrame()) return;
    char carriageReturn = '\r';
    iovec parts[3];
    int count = 0;
    if (terminal::takeResize())
      parts[count++] = {const_cast<char*>(kEraseRowAndBelow), sizeof kEraseRowAndBelow - 1};
    parts[count++] = {const_cast<char*>(text.data()), text.size()};
    parts[count++] = {&carriageReturn, 1};
    writeAll(parts, count);
  }

 private:
  // One writev for the whole frame; a partial write goes on from where it stopped.
  static void writeAll(iovec* next, int count) {
    while (count > 0) {
      const ssize_t written = writev(kOut, next, count);
      if (written == 0) terminal::endAfterFailedWrite(0);
      if (written < 0) {
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
          // Output left non-blocking by whoever opened it: wait until it takes more.
          pollfd out{kOut, POLLOUT, 0};
          poll(&out, 1, -1);
          continue;
        }
        terminal::endAfterFailedWrite(errno);
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
