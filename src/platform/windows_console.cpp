// Console services for Windows: the runtime's console keyboard (or keys from a file or a pipe),
// the kernel's sleep at a 1 ms timer resolution, and the console's cursor and wrapping put back
// on every way out.
#include <conio.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>

#include "platform/console.hpp"

namespace oneline {
namespace {

HANDLE outHandle = INVALID_HANDLE_VALUE;
DWORD savedMode = 0;
CONSOLE_CURSOR_INFO savedCursor{};
// 1 while the console is in the game's state; whoever swaps it to 0 puts it back.
volatile LONG consoleChanged = 0;
volatile LONG timerRequested = 0;
// Held for each frame's write; a console event keeps it until the process ends, so that no frame
// lands below the console once it has been put back.
SRWLOCK frameLock = SRWLOCK_INIT;

// Without a finer timer, Sleep(66) lasts until the next 15.6 ms tick: about 78 ms a frame.
void requestFineTimer() {
  if (timeBeginPeriod(1) == TIMERR_NOERROR) timerRequested = 1;
}

void restoreConsole() {
  if (InterlockedExchange(&timerRequested, 0) != 0) timeEndPeriod(1);
  if (InterlockedExchange(&consoleChanged, 0) == 0) return;
  SetConsoleMode(outHandle, savedMode);
  SetConsoleCursorInfo(outHandle, &savedCursor);
  // Below the last frame, so it stays whole above the prompt.
  DWORD written = 0;
  WriteFile(outHandle, "\n", 1, &written, nullptr);
}

// Ctrl+C, Ctrl+Break and closing the window: put the console back, then let the default
// handler end the process.
BOOL WINAPI onConsoleEvent(DWORD) {
  AcquireSRWLockExclusive(&frameLock);
  restoreConsole();
  return FALSE;
}

// Output that can no longer be written ends the game with status 1, saying why unless the
// reader went away.
[[noreturn]] void endAfterFailedWrite(DWORD error) {
  restoreConsole();
  if (error != ERROR_NO_DATA && error != ERROR_BROKEN_PIPE && error != ERROR_PIPE_NOT_CONNECTED) {
    char reason[256] = "unknown error";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reason, sizeof reason, nullptr);
    while (length > 0 && (reason[length - 1] == '\n' || reason[length - 1] == '\r' ||
                          reason[length - 1] == '.' || reason[length - 1] == ' ')) {
      reason[--length] = '\0';
    }
    std::fprintf(stderr, "oneline: cannot write to standard output: %s\n", reason);
  }
  std::_Exit(1);
}

// Where keys come from: the console's keyboard, or a file or a pipe on standard input, read one
// byte a frame as on Linux.
enum class KeySource { Console, File, Pipe, None };

KeySource keySourceOf(HANDLE in) {
  DWORD mode = 0;
  if (GetConsoleMode(in, &mode)) return KeySource::Console;
  switch (GetFileType(in)) {
    case FILE_TYPE_DISK:
      return KeySource::File;
    case FILE_TYPE_PIPE:
      return KeySource::Pipe;
    default:
      // A character device that is not a console (NUL, a serial port) could block a read.
      return KeySource::None;
  }
}

class WindowsConsole final : public Console {
 public:
  WindowsConsole() {
    inHandle = GetStdHandle(STD_INPUT_HANDLE);
    keySource = keySourceOf(inHandle);
    outHandle = GetStdHandle(STD_OUTPUT_HANDLE);
    requestFineTimer();
    std::atexit(restoreConsole);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
    // Output that is not a console (a pipe, a file) is left as it is.
    if (!GetConsoleMode(outHandle, &savedMode) || !GetConsoleCursorInfo(outHandle, &savedCursor)) {
      return;
    }
    // An 80-character line in an 80-column console would otherwise wrap, and its carriage return
    // would land on the next line.
    SetConsoleMode(outHandle, savedMode & ~static_cast<DWORD>(ENABLE_WRAP_AT_EOL_OUTPUT));
    CONSOLE_CURSOR_INFO hidden = savedCursor;
    hidden.bVisible = FALSE;
    SetConsoleCursorInfo(outHandle, &hidden);
    consoleChanged = 1;
  }

  WindowsConsole(const WindowsConsole&) = delete;
  WindowsConsole& operator=(const WindowsConsole&) = delete;

  bool keyWaiting() override {
    switch (keySource) {
      case KeySource::Console:
        return _kbhit() != 0;
      case KeySource::Pipe: {
        // Looked into first, so that a read never waits. A pipe that cannot be looked into
        // (Wine's, for one) gives no keys rather than stalling a frame.
        DWORD available = 0;
        if (!PeekNamedPipe(inHandle, nullptr, 0, nullptr, &available, nullptr)) return endInput();
        if (available == 0) return false;
        return readByte();
      }
      case KeySource::File:
        return readByte();
      case KeySource::None:
        break;
    }
    return false;
  }

  // Arrow and function keys arrive as two values, each read in a frame of its own.
  int readKey() override { return keySource == KeySource::Console ? _getch() & 0xFF : waitingKey; }

  void pause(int milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }

  void printLine(std::string_view text) override {
    // One write of the whole frame; on a console the carriage return goes back to its column 0.
    char frame[kMaxLine + 1];
    const std::size_t size = text.size() < kMaxLine ? text.size() : kMaxLine;
    text.copy(frame, size);
    frame[size] = '\r';
    AcquireSRWLockExclusive(&frameLock);
    const char* next = frame;
    DWORD left = static_cast<DWORD>(size + 1);
    while (left > 0) {
      DWORD written = 0;
      if (!WriteFile(outHandle, next, left, &written, nullptr) || written == 0) {
        const DWORD error = GetLastError();
        endAfterFailedWrite(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
      }
      next += written;
      left -= written;
    }
    ReleaseSRWLockExclusive(&frameLock);
  }

 private:
  // Room for any line the game prints (80 columns).
  static constexpr std::size_t kMaxLine = 256;

  bool readByte() {
    unsigned char byte = 0;
    DWORD got = 0;
    if (!ReadFile(inHandle, &byte, 1, &got, nullptr) || got != 1) return endInput();
    waitingKey = byte;
    return true;
  }

  bool endInput() {
    keySource = KeySource::None;
    return false;
  }

  HANDLE inHandle = INVALID_HANDLE_VALUE;
  KeySource keySource = KeySource::None;
  int waitingKey = 0;
};

}  // namespace

Console& systemConsole() {
  static WindowsConsole console;
  return console;
}

}  // namespace oneline
