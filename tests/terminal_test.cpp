#include <signal.h>
#include <termios.h>

#include <gtest/gtest.h>

#include "support/expected_line.hpp"
#include "support/pty_game.hpp"

namespace oneline {
namespace {

using namespace std::chrono_literals;
using testing::lineWith;
using testing::PtyGame;

constexpr char kEnterScreen[] = "\x1b[?25l\x1b[?7l";
// Autowrap and cursor back, then below the last frame (the terminal turns \n into \r\n).
constexpr char kLeaveScreen[] = "\x1b[?7h\x1b[?25h\r\n";
const std::string kFirstFrame = lineWith({{30, "(>_>)"}, {70, "(*--*)"}}) + "\r";
// Typed for the game but not read by it when the game ends: none of it may reach the shell.
constexpr char kTypedAhead[] = "echo TYPED-INTO-SHELL\r";

bool inGameMode(const termios& settings) {
  return (settings.c_lflag & (ICANON | ECHO)) == 0 && (settings.c_lflag & ISIG) != 0 &&
         settings.c_cc[VMIN] == 0 && settings.c_cc[VTIME] == 0;
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
    // Keys arrive without Enter and without echo.
    game.type("d");
    ASSERT_TRUE(game.waitForOutput(lineWith({{31, "(>_>)"}, {69, "(*--*)"}}) + "\r"));
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
  for (int signal : {SIGTERM, SIGHUP, SIGALRM, SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU,
                     SIGXFSZ, SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
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
  PtyGame game;
  start(game);
  for (int stop = 0; stop < 2; ++stop) {
    game.type("\x1a");
    ASSERT_TRUE(game.waitUntilStopped()) << stop;
    EXPECT_TRUE(game.settingsAreOriginal());
    EXPECT_TRUE(game.output().ends_with(kLeaveScreen));
    // Changed while the game is stopped (stty -ixon): kept from now on.
    game.changeSettings([](termios& t) { t.c_iflag ^= IXON; });
    game.foreground();
    ASSERT_TRUE(game.waitForSettings(false));
    EXPECT_TRUE(inGameMode(game.settings()));
    ASSERT_TRUE(game.waitForOutput(std::string(kLeaveScreen) + kEnterScreen));
  }
  game.type("a");
  EXPECT_TRUE(game.waitForOutput("(<_<)"));
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

TEST_F(TerminalTest, DumbOrUnknownTerminalGetsTheFramesAndTheFinalNewlineOnly) {
  for (const char* term : {"dumb", static_cast<const char*>(nullptr)}) {
    PtyGame game({.term = term});
    start(game);
    endBy(game, SIGINT, true);
    EXPECT_EQ(game.output().find('\x1b'), std::string::npos);
    EXPECT_TRUE(game.output().ends_with("\r\r\n"));
  }
}

TEST_F(TerminalTest, ResizeClearsTheRowOnceBeforeTheNextFrame) {
  PtyGame game;
  start(game);
  for (unsigned short columns : {60, 100}) {
    game.resize(columns, 24);
    ASSERT_TRUE(game.waitForOutput("\x1b[J" + lineWith({{30, "(>_>)"}}).substr(0, 40)));
  }
  game.play(200ms);
  const std::string& out = game.output();
  std::size_t clears = 0;
  for (std::size_t at = out.find("\x1b[J"); at != std::string::npos;
       at = out.find("\x1b[J", at + 1)) {
    ++clears;
    // Right after a frame's carriage return, so the whole row goes.
    EXPECT_EQ(out[at - 1], '\r');
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

}  // namespace
}  // namespace oneline
