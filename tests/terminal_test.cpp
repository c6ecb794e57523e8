#include <signal.h>
#include <termios.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/expected_line.hpp"
#include "support/pty_game.hpp"

namespace oneline {
namespace {

using namespace std::chrono_literals;
using testing::lineWith;
using testing::PtyGame;
using testing::PtyInput;
using testing::PtyOutput;

constexpr char kEnterScreen[] = "\x1b[?25l\x1b[?7l";
// Autowrap and cursor back, then below the last frame (the terminal turns \n into \r\n).
constexpr char kLeaveScreen[] = "\x1b[?7h\x1b[?25h\r\n";
const std::string kFirstFrame = lineWith({{30, "(>_>)"}, {70, "(*--*)"}}) + "\r";
// Typed for the game but not read by it when the game ends: none of it may reach the shell.
constexpr char kTypedAhead[] = "echo TYPED-INTO-SHELL\r";

#ifdef ONELINE_FLAKY_IO
// Among its faults: a terminal that is slow to take the game's screen mode.
constexpr const char* kSlowTerminal = ONELINE_FLAKY_IO;
#else
constexpr const char* kSlowTerminal = nullptr;
#endif

// IEXTEN too: on macOS and the BSDs Ctrl-O would hide the frames and Ctrl-V eat a key.
bool inGameMode(const termios& settings) {
  return (settings.c_lflag & (ICANON | ECHO | IEXTEN)) == 0 && (settings.c_lflag & ISIG) != 0 &&
         settings.c_cc[VMIN] == 0 && settings.c_cc[VTIME] == 0;
}

// The start of a frame after the first, up to the player's sprite at column.
std::string frameStart(int column, const char* sprite) {
  std::string start(1, '\r');
  return start.append(lineWith({{column, sprite}}), 0, static_cast<std::size_t>(column) + 5);
}

// A whole frame: the player standing at 30, the enemy wherever it is, a carriage return.
bool isStandingFrame(const std::string& text) {
  const std::size_t enemy = text.find("(*--*)");
  return enemy != std::string::npos &&
         text == lineWith({{30, "(>_>)"}, {static_cast<int>(enemy), "(*--*)"}}) + "\r";
}

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PtyGame::available()) GTEST_SKIP() << "no pseudo-terminal can be opened here";
  }
  // Waits for the first frame, then plays on for a frame and a half.
  static void start(PtyGame& game) {
    ASSERT_TRUE(game.waitForOutput(kFirstFrame));
    game.play(100ms);
  }
  // Ends the game by signal and checks the terminal is as it was, with nothing left for the shell.
  static void endBy(PtyGame& game, int signal, bool key = false) {
    game.type(kTypedAhead);
    game.play(100ms);
    if (key) {
      game.type(signal == SIGINT ? "\x03" : "\x1c");
    } else {
      game.signal(signal);
    }
    EXPECT_EQ(game.waitForEndSignal(), signal) << strsignal(signal);
    EXPECT_TRUE(game.settingsAreOriginal()) << strsignal(signal);
    EXPECT_EQ(game.unreadInput(), 0) << strsignal(signal);
  }
};

TEST_F(TerminalTest, PlaysInRawModeAndEachSignalKeyRestoresTheTerminal) {
  for (int signal : {SIGINT, SIGQUIT}) {
    PtyGame game;
    start(game);
    const termios playing = game.settings();
    EXPECT_TRUE(inGameMode(playing)) << "a frame must never wait for a key";
    EXPECT_EQ(playing.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_EQ(game.output().find(kEnterScreen), 0u);
    // Keys arrive without Enter and without echo, and act one a frame however fast they come.
    game.type("dd");
    ASSERT_TRUE(game.waitForOutput(frameStart(32, "(>_>)")));
    EXPECT_NE(game.output().find(frameStart(31, "(>_>)")), std::string::npos);
    endBy(game, signal, true);
    EXPECT_TRUE(game.output().ends_with(kLeaveScreen));
    EXPECT_EQ(game.output().find('d'), std::string::npos);
  }
}

TEST_F(TerminalTest, SignalKeysWorkWhileItPlaysEvenWhereTheUserTurnedThemOff) {
  PtyGame game({.before = [](termios& t) {
    t.c_lflag &= ~static_cast<tcflag_t>(ISIG);
    t.c_cc[VINTR] = _POSIX_VDISABLE;
  }});
  start(game);
  EXPECT_TRUE(inGameMode(game.settings()));
  endBy(game, SIGINT, true);
  EXPECT_EQ(game.settings().c_lflag & ISIG, 0u);
}

TEST_F(TerminalTest, EverySignalThatEndsTheGameRestoresTheTerminalFirst) {
  std::vector<int> signals = {SIGTERM,   SIGHUP,  SIGALRM, SIGUSR1, SIGUSR2,
                              SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGSEGV,
                              SIGBUS,    SIGFPE,  SIGILL,  SIGABRT, SIGRTMIN};
#ifndef ONELINE_TESTS_UNDER_EMULATOR
  // qemu-user keeps the emulated machine's two highest real-time signals for itself: kill()
  // refuses them there (EINVAL).
  signals.push_back(SIGRTMAX);
#endif
  for (int signal : signals) {
    PtyGame game;
    start(game);
    endBy(game, signal);
    EXPECT_TRUE(game.output().ends_with(kLeaveScreen)) << strsignal(signal);
  }
  // Under nohup a hangup stays ignored.
  PtyGame game({.ignoreHangup = true});
  start(game);
  game.signal(SIGHUP);
  game.type("a");
  EXPECT_TRUE(game.waitForOutput("(<_<)"));
  endBy(game, SIGTERM);
}

TEST_F(TerminalTest, StopGivesTheTerminalBackAndFgTakesItAgainWithTheSettingsOfThatMoment) {
  // Each Ctrl-Z after the first comes while the game is taking the terminal back after fg.
  PtyGame game({.preload = kSlowTerminal});
  start(game);
  // Keys that were waiting their turn when the game stopped go with the stop.
  game.type(std::string(20, 'd'));
  ASSERT_TRUE(game.waitForOutput(frameStart(32, "(>_>)")));
  for (int stop = 0; stop < 3; ++stop) {
    game.type("\x1a");
    ASSERT_TRUE(game.waitUntilStopped()) << stop;
    EXPECT_TRUE(game.settingsAreOriginal()) << stop;
    EXPECT_TRUE(game.output().ends_with(kLeaveScreen)) << stop;
    // Changed while the game is stopped (stty -ixon): kept from now on.
    game.changeSettings([](termios& t) { t.c_iflag ^= IXON; });
    const std::size_t before = game.output().size();
    game.foreground();
    ASSERT_TRUE(game.waitForOutput(kEnterScreen, 5s, before));
  }
  ASSERT_TRUE(game.waitForSettings(false));
  EXPECT_TRUE(inGameMode(game.settings()));
  const std::size_t resumed = game.output().size();
  game.play(300ms);
  std::set<std::size_t> columns;
  std::istringstream frames(game.output().substr(resumed));
  for (std::string frame; std::getline(frames, frame, '\r');) {
    if (frame.size() == 80) columns.insert(frame.find("(>_>)"));
  }
  ASSERT_EQ(columns.size(), 1u) << "the player walks on after fg";
  // Keys typed faster than the frames after fg wait their turn as before the stop.
  game.type("aaaa");
  EXPECT_TRUE(game.waitForOutput(frameStart(static_cast<int>(*columns.begin()) - 4, "(<_<)")));
  endBy(game, SIGINT, true);
}

TEST_F(TerminalTest, InTheBackgroundTheGameLeavesTheTerminalToTheShell) {
  {
    // Ctrl-Z, bg, kill %1.
    PtyGame game;
    start(game);
    game.type("\x1a");
    ASSERT_TRUE(game.waitUntilStopped());
    const std::size_t before = game.output().size();
    game.background();
    // It reads the terminal in its next frame, which stops it again (tty input).
    ASSERT_TRUE(game.waitUntilStopped());
    EXPECT_TRUE(game.settingsAreOriginal());
    EXPECT_EQ(game.output().size(), before) << "a background game writes nothing";
    game.signal(SIGTERM);
    game.signal(SIGCONT);
    EXPECT_EQ(game.waitForEndSignal(), SIGTERM);
    EXPECT_TRUE(game.settingsAreOriginal());
  }
  {
    // Started with &, its shell's settings changed before fg: fg takes the terminal as it is then.
    PtyGame game({.background = true});
    ASSERT_TRUE(game.waitUntilStopped());
    EXPECT_EQ(game.output(), "");
    EXPECT_TRUE(game.settingsAreOriginal());
    game.changeSettings([](termios& t) { t.c_lflag ^= ECHOE; });
    game.foreground();
    start(game);
    EXPECT_TRUE(inGameMode(game.settings()));
    endBy(game, SIGINT, true);
  }
  {
    // Still running in the background (reading there fails instead of stopping it), brought to
    // the foreground without a continue signal, as bash's fg does for a running job.
    PtyGame game({.background = true, .ignoreTerminalInput = true});
    game.play(300ms);
    EXPECT_EQ(game.output(), "");
    EXPECT_EQ(game.stopsSeen(), 0);
    game.foreground(false);
    ASSERT_TRUE(
        game.waitForOutput(std::string(kEnterScreen) + lineWith({{30, "(>_>)"}}).substr(0, 35)));
    EXPECT_TRUE(inGameMode(game.settings()));
    endBy(game, SIGINT, true);
  }
  {
    // printf ddd | oneline &: keys that need no terminal do not let it draw from the background.
    PtyGame game({.input = PtyInput::Pipe, .background = true});
    game.feed("ddd");
    game.play(300ms);
    EXPECT_EQ(game.output(), "");
    EXPECT_TRUE(game.settingsAreOriginal());
    game.signal(SIGTERM);
    EXPECT_EQ(game.waitForEndSignal(), SIGTERM);
  }
}

TEST_F(TerminalTest, WhereNoShellCanResumeAStopCtrlZLeavesTheGamePlaying) {
  PtyGame game({.leadsSession = true});
  start(game);
  game.type("\x1a");
  game.play(200ms);
  game.type("a");
  EXPECT_TRUE(game.waitForOutput("(<_<)"));
  EXPECT_TRUE(inGameMode(game.settings()));
  EXPECT_EQ(game.output().find(kLeaveScreen), std::string::npos);
  EXPECT_EQ(game.stopsSeen(), 0);
  endBy(game, SIGTERM);
}

TEST_F(TerminalTest, EscapesAndTheFinalNewlineFollowStandardOutput) {
  const struct {
    const char* term;
    PtyInput input;
    PtyOutput output;
    const char* ending;
  } cases[] = {
      {"dumb", PtyInput::Terminal, PtyOutput::Terminal, "\r\r\n"},
      {nullptr, PtyInput::Terminal, PtyOutput::Terminal, "\r\r\n"},
      {"", PtyInput::Terminal, PtyOutput::Terminal, "\r\r\n"},
      // Keys from a file: the shell's prompt must not land on the last frame.
      {"dumb", PtyInput::Pipe, PtyOutput::Terminal, "\r\r\n"},
      // oneline > rec.txt: nothing but frames in the file.
      {"xterm", PtyInput::Terminal, PtyOutput::Pipe, "\r"},
  };
  for (const auto& c : cases) {
    PtyGame game({.output = c.output, .input = c.input, .term = c.term});
    start(game);
    // Nor does a resize bring one.
    game.resize(60, 24);
    game.play(200ms);
    endBy(game, SIGINT, true);
    EXPECT_EQ(game.output().find('\x1b'), std::string::npos);
    EXPECT_TRUE(game.output().ends_with(c.ending)) << (c.term != nullptr ? c.term : "no TERM");
  }
}

TEST_F(TerminalTest, ResizeClearsTheRowOnceBeforeTheNextFrame) {
  PtyGame game;
  start(game);
  for (unsigned short columns : {60, 100}) {
    const std::size_t before = game.output().size();
    game.resize(columns, 24);
    ASSERT_TRUE(game.waitForOutput("\x1b[J", 5s, before));
  }
  game.play(200ms);
  const std::string& out = game.output();
  std::size_t clears = 0;
  for (std::size_t at = out.find("\x1b[J"); at != std::string::npos;
       at = out.find("\x1b[J", at + 1)) {
    ++clears;
    // Right after a frame's carriage return, so the whole row goes, and before whole frames
    // only, each drawn once, up to the next clear (or the last frame read).
    EXPECT_EQ(out[at - 1], '\r');
    const std::size_t next = std::min(out.find("\x1b[J", at + 1), out.rfind('\r') + 1);
    ASSERT_EQ((next - at - 3) % 81, 0u) << out.substr(at + 3, next - at - 3);
    for (std::size_t frame = at + 3; frame < next; frame += 81)
      EXPECT_TRUE(isStandingFrame(out.substr(frame, 81))) << out.substr(frame, 81);
  }
  EXPECT_EQ(clears, 2u);
  endBy(game, SIGTERM);
}

TEST_F(TerminalTest, ClosedOutputEndsTheGameWithTheTerminalRestored) {
  PtyGame game({.output = PtyGame::Output::Pipe});
  start(game);
  // Output that is not a terminal carries the frames alone.
  EXPECT_EQ(game.output().find('\x1b'), std::string::npos);
  EXPECT_TRUE(inGameMode(game.settings()));
  game.closeOutput();
  EXPECT_EQ(game.waitForEndSignal(), SIGPIPE);
  EXPECT_TRUE(game.settingsAreOriginal());
}

TEST_F(TerminalTest, KeysTypedWhileTheGameStartsAreKept) {
  PtyGame game({.typedAhead = "dd"});
  ASSERT_TRUE(game.waitForOutput(frameStart(32, "(>_>)")));
  endBy(game, SIGINT, true);
}

// The terminal's own queue holds 4095 bytes: the game must empty it every frame, or the signal
// keys wait behind a paste, with keys from the terminal and with keys from a pipe alike.
TEST_F(TerminalTest, SignalKeysActAtOnceAfterAPasteLargerThanTheTerminalHolds) {
  for (PtyInput input : {PtyInput::Terminal, PtyInput::Pipe}) {
    PtyGame game({.input = input});
    start(game);
    game.type(std::string(6000, 'x') + "\x03");
    EXPECT_EQ(game.waitForEndSignal(2s), SIGINT) << (input == PtyInput::Pipe ? "pipe" : "terminal");
    EXPECT_TRUE(game.settingsAreOriginal());
    EXPECT_EQ(game.unreadInput(), 0);
  }
}

// printf ddd | oneline: the keys come from the pipe, the terminal is taken all the same.
TEST_F(TerminalTest, KeysFromAPipeWithFramesOnTheTerminal) {
  PtyGame game({.input = PtyInput::Pipe});
  start(game);
  EXPECT_TRUE(inGameMode(game.settings()));
  EXPECT_EQ(game.output().find(kEnterScreen), 0u);
  game.feed("ddd");
  ASSERT_TRUE(game.waitForOutput(frameStart(33, "(>_>)")));
  // Typed on the terminal: neither echoed nor a key.
  game.type("a\r");
  game.play(200ms);
  EXPECT_EQ(game.output().find('a'), std::string::npos);
  EXPECT_EQ(game.output().find("(<_<)"), std::string::npos);
  endBy(game, SIGTERM);
}

TEST_F(TerminalTest, AnotherSessionsTerminalIsLeftAloneAFreeOneIsClaimed) {
  // setsid oneline from the shell, with the shell's terminal on both ends or on either one
  // (setsid oneline > rec.txt; printf ddd | setsid -w oneline): the terminal stays the shell's.
  for (const auto& [input, output] : {std::pair{PtyInput::Terminal, PtyOutput::Terminal},
                                      std::pair{PtyInput::Terminal, PtyOutput::Pipe},
                                      std::pair{PtyInput::Pipe, PtyOutput::Terminal}}) {
    PtyGame game({.output = output, .input = input, .newSession = true});
    const auto ends = input == PtyInput::Pipe     ? "pipe in"
                      : output == PtyOutput::Pipe ? "pipe out"
                                                  : "both";
    EXPECT_EQ(game.waitForEndSignal(), -1) << ends;
    EXPECT_EQ(game.exitStatus(), 1) << ends;
    EXPECT_EQ(game.output(),
              "oneline: cannot play on this terminal: another session controls it\r\n")
        << ends;
    EXPECT_TRUE(game.settingsAreOriginal()) << ends;
  }
  {
    // The first process of a session that has no terminal, on a terminal no session controls:
    // it becomes the game's, and Ctrl-C reaches the game.
    PtyGame game({.leadsSession = true, .sessionHasTerminal = false});
    start(game);
    EXPECT_TRUE(inGameMode(game.settings()));
    endBy(game, SIGINT, true);
  }
}

}  // namespace
}  // namespace oneline
