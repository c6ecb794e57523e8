// Console services for Linux and macOS: keys from a terminal, a pipe or a file on standard
// input, frames to a terminal, a pipe or a file on standard output. The terminal's mode and
// signals are posix_terminal.cpp's.
#include "platform/posix_features.hpp"
// The feature macros above come first.
#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <ctime>

#include "platform/console.hpp"
#include "platform/key_queue.hpp"
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
    terminal::beginFrame();
    if (terminal::inputIsTerminal()) {
      takeTypedKeys();
    } else if (keys.empty() && !inputEnded) {
      takePipedKey();
    }
    return !keys.empty();
  }

  int readKey() override { return keys.pop(); }

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

  // Everything the terminal holds, in one read that the game's mode makes return at once. A
  // terminal never ends: a read it refuses (from the background, say) is no key this frame.
  void takeTypedKeys() {
    // Keys typed before the game last gave the terminal back (a stop) go with the terminal's.
    const int handBacks = terminal::handBacks();
    if (handBacks != seenHandBacks) {
      keys.clear();
      seenHandBacks = handBacks;
    }
    const ssize_t got = read(kIn, typed, sizeof typed);
    if (got > 0) keys.push(typed, static_cast<std::size_t>(got));
  }

  // A pipe or a file gives one byte a frame, looked for first so that a read never waits. Its
  // end (or an error) ends the keys; a hang-up with bytes still in the pipe does not.
  void takePipedKey() {
    pollfd in{kIn, POLLIN, 0};
    const int ready = poll(&in, 1, 0);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return;
    if (ready < 0 || (in.revents & POLLNVAL) != 0) {
      inputEnded = true;
      return;
    }
    unsigned char byte = 0;
    const ssize_t got = read(kIn, &byte, 1);
    if (got == 1) {
      keys.push(&byte, 1);
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
      inputEnded = true;
    }
  }

  KeyQueue keys;
  unsigned char typed[KeyQueue::kCapacity];
  int seenHandBacks = 0;
  bool inputEnded = false;
};

}  // namespace

Console& systemConsole() {
  static PosixConsole console;
  return console;
}

}  // namespace oneline
