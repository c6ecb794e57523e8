// Plays the Windows build in a real console: starts the game on the console this driver runs
// in, types keys into the console's input buffer and reads the game's row back from the screen
// buffer, never the game's own output stream.
//
//   console_driver play <oneline.exe> <log>
//       keys, the hidden cursor and the wrap mode while playing; the game is then terminated.
//   console_driver interrupt <oneline.exe> <ready-file> <log>
//       plays until the game has started, creates ready-file, then waits for a real Ctrl+C or
//       Ctrl+Break from outside and checks the console the game leaves behind.
//   console_driver write-errors <oneline.exe> <log>
//       no console needed: the game's output refused, then its reader gone; how the game ends.
//
// Each check is a line of the log (standard output where the log is -); the exit status is the
// number of failed checks.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr SHORT kLineWidth = 80;

HANDLE in = INVALID_HANDLE_VALUE;
HANDLE out = INVALID_HANDLE_VALUE;
std::FILE* logFile = nullptr;
int failures = 0;

void check(bool holds, const std::string& what) {
  std::fprintf(logFile, "%s: %s\n", holds ? "ok" : "FAILED", what.c_str());
  std::fflush(logFile);
  if (!holds) ++failures;
}

std::string readRow(SHORT row) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(out, &info);
  std::string text(static_cast<std::size_t>(info.dwSize.X), ' ');
  DWORD got = 0;
  ReadConsoleOutputCharacterA(out, text.data(), static_cast<DWORD>(text.size()), {0, row}, &got);
  text.resize(got);
  return text;
}

COORD cursor() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  GetConsoleScreenBufferInfo(out, &info);
  return info.dwCursorPosition;
}

// A frame with the player's sprite at column and the enemy somewhere, nothing else, and
// nothing beyond the line.
bool isFrameWith(const std::string& row, int column, const char* player) {
  if (row.size() < static_cast<std::size_t>(kLineWidth)) return false;
  if (row.find_first_not_of(' ', kLineWidth) != std::string::npos) return false;
  std::string line = row.substr(0, kLineWidth);
  if (line.compare(static_cast<std::size_t>(column), 5, player) != 0) return false;
  line.replace(static_cast<std::size_t>(column), 5, 5, ' ');
  const std::size_t enemy = line.find("(*--*)");
  if (enemy != std::string::npos) line.replace(enemy, 6, 6, ' ');
  return line.find_first_not_of(' ') == std::string::npos;
}

bool waitForFrameWith(SHORT row, int column, const char* player) {
  for (int tries = 0; tries < 500; ++tries) {
    if (isFrameWith(readRow(row), column, player)) return true;
    Sleep(10);
  }
  return false;
}

void typeKey(WORD virtualKey, WORD scanCode, char character, DWORD controlKeys = 0) {
  INPUT_RECORD events[2]{};
  for (int i = 0; i < 2; ++i) {
    events[i].EventType = KEY_EVENT;
    KEY_EVENT_RECORD& key = events[i].Event.KeyEvent;
    key.bKeyDown = i == 0;
    key.wRepeatCount = 1;
    key.wVirtualKeyCode = virtualKey;
    key.wVirtualScanCode = scanCode;
    key.uChar.AsciiChar = character;
    key.dwControlKeyState = controlKeys;
  }
  DWORD written = 0;
  WriteConsoleInputA(in, events, 2, &written);
}

void typeLetter(char letter) {
  const SHORT virtualKey = VkKeyScanA(letter);
  const WORD code = LOBYTE(virtualKey);
  typeKey(code, static_cast<WORD>(MapVirtualKeyA(code, MAPVK_VK_TO_VSC)), letter,
          (HIBYTE(virtualKey) & 1) != 0 ? SHIFT_PRESSED : 0);
}

int unreadKeyPresses() {
  INPUT_RECORD events[64];
  DWORD count = 0;
  PeekConsoleInputA(in, events, 64, &count);
  int presses = 0;
  for (DWORD i = 0; i < count; ++i) {
    if (events[i].EventType == KEY_EVENT && events[i].Event.KeyEvent.bKeyDown) ++presses;
  }
  return presses;
}

bool cursorHidden() {
  CONSOLE_CURSOR_INFO info{};
  GetConsoleCursorInfo(out, &info);
  return !info.bVisible;
}

bool wrapsAtTheEdge() {
  DWORD mode = 0;
  GetConsoleMode(out, &mode);
  return (mode & ENABLE_WRAP_AT_EOL_OUTPUT) != 0;
}

// Starts the game with the given standard handles (inheritable).
bool start(const char* exe, HANDLE input, HANDLE output, HANDLE errors,
           PROCESS_INFORMATION& process) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input;
  startup.hStdOutput = output;
  startup.hStdError = errors;
  std::string commandLine = std::string("\"") + exe + "\"";
  return CreateProcessA(exe, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process) != 0;
}

// The game on this console, from a new row below a marker line.
struct Game {
  PROCESS_INFORMATION process{};
  SHORT row = 0;

  explicit Game(const char* exe) {
    const char marker[] = "oneline console check\n";
    DWORD written = 0;
    WriteConsoleA(out, marker, sizeof marker - 1, &written, nullptr);
    row = cursor().Y;
    check(start(exe, in, out, out, process), "the game starts on the driver's console");
  }

  void checkStarted() {
    check(waitForFrameWith(row, 30, "(>_>)"), "the first frames show the player at column 30");
    check(cursorHidden(), "the cursor is hidden while playing");
    check(!wrapsAtTheEdge(), "ENABLE_WRAP_AT_EOL_OUTPUT is off while playing");
  }

  void checkOneRow() {
    check(cursor().Y == row && cursor().X == 0, "the cursor stays at the start of the game's row");
    check(readRow(row - 1).rfind("oneline console check", 0) == 0,
          "nothing scrolled: the marker line is still right above the game's row");
    check(readRow(row + 1).find_first_not_of(' ') == std::string::npos,
          "the row below the game's row is empty");
  }
};

int play(const char* exe) {
  Game game(exe);
  game.checkStarted();
  for (int i = 0; i < 3; ++i) typeLetter('d');
  check(waitForFrameWith(game.row, 33, "(>_>)"), "d d d walk the player to column 33");
  // An arrow key (two values in two frames), 'A' and 'x': the player stays where it is.
  typeKey(VK_LEFT, 0x4B, 0, ENHANCED_KEY);
  typeLetter('A');
  typeLetter('x');
  Sleep(700);
  check(unreadKeyPresses() == 0, "the game has read every key press (key releases stay)");
  check(isFrameWith(readRow(game.row), 33, "(>_>)"), "an arrow key, A and x do nothing");
  typeLetter('a');
  check(waitForFrameWith(game.row, 32, "(<_<)"), "a turns the player and walks it to column 32");
  game.checkOneRow();
  TerminateProcess(game.process.hProcess, 0);
  WaitForSingleObject(game.process.hProcess, 5000);
  return failures;
}

// Ctrl+C and Ctrl+Break reach every process on the console; the driver stays to look.
BOOL WINAPI ignoreConsoleEvent(DWORD) { return TRUE; }

int interrupt(const char* exe, const char* readyFile) {
  SetConsoleCtrlHandler(ignoreConsoleEvent, TRUE);
  Game game(exe);
  game.checkStarted();
  game.checkOneRow();
  if (std::FILE* ready = std::fopen(readyFile, "w")) std::fclose(ready);
  const bool ended = WaitForSingleObject(game.process.hProcess, 30000) == WAIT_OBJECT_0;
  check(ended, "the game ends on the console event");
  if (!ended) {
    TerminateProcess(game.process.hProcess, 0);
    return failures;
  }
  DWORD code = 0;
  GetExitCodeProcess(game.process.hProcess, &code);
  std::fprintf(logFile, "exit code: 0x%lX\n", code);
  check(!cursorHidden(), "the cursor is visible again");
  check(wrapsAtTheEdge(), "wrapping at the edge is back on");
  // No key was typed: the player stands at 30 and the enemy somewhere from 70 down to 30, drawn
  // over the player.
  const std::string last = readRow(game.row);
  bool whole = false;
  for (int enemy = 30; enemy <= 70 && !whole; ++enemy) {
    std::string frame(static_cast<std::size_t>(kLineWidth), ' ');
    frame.replace(30, 5, "(>_>)");
    frame.replace(static_cast<std::size_t>(enemy), 6, "(*--*)");
    frame.resize(last.size(), ' ');
    whole = last == frame;
  }
  check(whole, "the last frame stays whole on its row: [" + last.substr(0, kLineWidth) + "]");
  check(cursor().Y == game.row + 1 && cursor().X == 0,
        "the cursor is at the start of the row below");
  return failures;
}

SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};

// Runs the game until it ends by itself (10 s at most) with one end of a new pipe as its
// standard output: the read end, which cannot be written, or the write end once the read end is
// closed (a reader that has gone). Returns its exit code; errors gets its standard error.
DWORD runOnPipeEnd(const char* exe, bool readEnd, std::string& errors) {
  HANDLE output[2];  // read end, write end
  HANDLE errorPipe[2];
  CreatePipe(&output[0], &output[1], &inheritable, 0);
  CreatePipe(&errorPipe[0], &errorPipe[1], &inheritable, 0);
  CloseHandle(output[readEnd ? 1 : 0]);
  HANDLE nothing = CreateFileA("NUL", GENERIC_READ, 0, &inheritable, OPEN_EXISTING, 0, nullptr);
  PROCESS_INFORMATION process{};
  DWORD code = 0xFFFFFFFF;
  if (start(exe, nothing, output[readEnd ? 0 : 1], errorPipe[1], process)) {
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) {
      TerminateProcess(process.hProcess, code);
    }
    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &code);
  }
  for (HANDLE handle : {output[readEnd ? 0 : 1], errorPipe[1], nothing}) CloseHandle(handle);
  errors.clear();
  char chunk[512];
  DWORD got = 0;
  while (ReadFile(errorPipe[0], chunk, sizeof chunk, &got, nullptr) && got > 0) {
    errors.append(chunk, got);
  }
  CloseHandle(errorPipe[0]);
  return code;
}

// Output that cannot be written ends the game with status 1 and one line naming the error; a
// reader that has gone ends it with status 1 and nothing said.
int writeErrors(const char* exe) {
  std::string errors;
  DWORD code = runOnPipeEnd(exe, true, errors);
  const std::string said = "oneline: cannot write to standard output: ";
  check(code == 1, "output that cannot be written: status " + std::to_string(code));
  // The system's reason without its closing period, then the C runtime's CR LF, once.
  const std::string reason = errors.size() > said.size() + 2
                                 ? errors.substr(said.size(), errors.size() - said.size() - 2)
                                 : "";
  check(errors.rfind(said, 0) == 0 && errors.ends_with("\r\n") && !reason.empty() &&
            reason.find_first_of("\r\n") == std::string::npos && reason.back() != '.' &&
            reason.back() != ' ',
        "and one line names the error: " + errors);
  code = runOnPipeEnd(exe, false, errors);
  check(code == 1, "a reader that has gone: status " + std::to_string(code));
  check(errors.empty(), "and nothing said: " + errors);
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const bool playing = mode == "play" && argc == 4;
  const bool interrupting = mode == "interrupt" && argc == 5;
  const bool writing = mode == "write-errors" && argc == 4;
  if (!playing && !interrupting && !writing) {
    std::fprintf(stderr,
                 "usage: console_driver play <oneline.exe> <log>\n"
                 "       console_driver interrupt <oneline.exe> <ready-file> <log>\n"
                 "       console_driver write-errors <oneline.exe> <log>\n");
    return 2;
  }
  // "-": the checks go to standard output.
  const std::string logPath = argv[argc - 1];
  logFile = logPath == "-" ? stdout : std::fopen(logPath.c_str(), "wb");
  if (logFile == nullptr) return 2;
  if (writing) {
    const int failed = writeErrors(argv[2]);
    std::fprintf(logFile, "%d failed\n", failed);
    std::fclose(logFile);
    return failed;
  }
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  in = CreateFileA("CONIN$", GENERIC_READ | GENERIC_WRITE, share, &inheritable, OPEN_EXISTING, 0,
                   nullptr);
  out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, share, &inheritable, OPEN_EXISTING, 0,
                    nullptr);
  DWORD mode0 = 0;
  if (!GetConsoleMode(out, &mode0)) {
    check(false, "the driver runs in a console");
    return failures;
  }
  const int failed = playing ? play(argv[2]) : interrupt(argv[2], argv[3]);
  std::fprintf(logFile, "%d failed\n", failed);
  std::fclose(logFile);
  return failed;
}
