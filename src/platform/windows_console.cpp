// Console services for Windows: the runtime's console keyboard, the kernel's sleep, and the
// console's cursor and wrapping put back on every way out.
#include <conio.h>
#include <windows.h>

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

void restoreConsole() {
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
  restoreConsole();
  return FALSE;
}

class WindowsConsole final : public Console {
 public:
  WindowsConsole() {
    // Whole frames in one write.
    std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
    outHandle = GetStdHandle(STD_OUTPUT_HANDLE);
    // Output that is not a console (a pipe, a file) is left as it is.
    if (!GetConsoleMode(outHandle, &savedMode) || !GetConsoleCursorInfo(outHandle, &savedCursor)) {
      return;
    }
    std::atexit(restoreConsole);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
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

  bool keyWaiting() override { return _kbhit() != 0; }
  // Arrow and function keys arrive as two values, each read in a frame of its own.
  int readKey() override { return _getch() & 0xFF; }
  void pause(int milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }

  void printLine(std::string_view text) override {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\r', stdout);
    if (std::fflush(stdout) != 0) {
      // Output that can no longer be written ends the game quietly.
      restoreConsole();
      std::_Exit(1);
    }
  }

 private:
  char outBuffer[1024];
};

}  // namespace

Console& systemConsole() {
  static WindowsConsole console;
  return console;
}

}  // namespace oneline
