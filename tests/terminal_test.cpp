#include <signal.h>
#include <termios.h>

#include <gtest/gtest.h>

#include "support/expected_line.hpp"
#include "support/pty_game.hpp"

namespace oneline {
namespace {

using testing::lineWith;
using testing::PtyGame;

constexpr char kEnterScreen[] = "\x1b[?25l\x1b[?7l";
// Autowrap and cursor back, then below the last frame (the terminal turns \n into \r\n).
constexpr char kLeaveScreen[] = "\x1b[?7h\x1b[?25h\r\n";

class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PtyGame::available()) GTEST_SKIP() << "no pseudo-terminal can be opened here";
  }
  // Starts the game and waits for its first frame.
  void start(PtyGame& game) {
    ASSERT_TRUE(game.waitForOutput(lineWith({{30, "(>_>)"}, {70, "(*--*)"}}) + "\r"));
  }
};

TEST_F(TerminalTest, PlaysInRawModeAndEachSignalKeyRestoresTheTerminal) {
  const struct {
    const char* key;
    int signal;
  } ways[] = {{"\x03", SIGINT}, {"\x1c", SIGQUIT}};
  for (const auto& way : ways) {
    PtyGame game;
    start(game);
    const termios playing = game.settings();
    EXPECT_EQ(playing.c_lflag & (ICANON | ECHO), 0u);
    EXPECT_NE(playing.c_lflag & ISIG, 0u) << "signal keys must keep working";
    EXPECT_EQ(playing.c_iflag & (IXON | ICRNL), 0u);
    EXPECT_EQ(game.output().find(kEnterScreen), 0u);
    // Keys arrive without Enter and without echo.
    game.type("d");
    ASSERT_TRUE(game.waitForOutput(lineWith({{31, "(>_>)"}, {69, "(*--*)"}}) + "\r"));
    game.type(way.key);
    EXPECT_EQ(game.waitForEndSignal(), way.signal);
    EXPECT_TRUE(game.settingsAreOriginal());
    EXPECT_TRUE(game.output().ends_with(kLeaveScreen));
    EXPECT_EQ(game.output().find('d'), std::string::npos);
  }
}

TEST_F(TerminalTest, SignalsFromOutsideRestoreTheTerminalAndEndByTheSignal) {
  for (int signal : {SIGTERM, SIGHUP}) {
    PtyGame game;
    start(game);
    game.signal(signal);
    EXPECT_EQ(game.waitForEndSignal(), signal);
    EXPECT_TRUE(game.settingsAreOriginal());
    EXPECT_TRUE(game.output().ends_with(kLeaveScreen));
  }
}

TEST_F(TerminalTest, StopRestoresTheTerminalAndContinueResumesTheGame) {
  PtyGame game;
  start(game);
  game.type("\x1a");
  ASSERT_TRUE(game.waitUntilStopped());
  EXPECT_TRUE(game.settingsAreOriginal());
  EXPECT_TRUE(game.waitForOutput(kLeaveScreen));

  game.signal(SIGCONT);
  ASSERT_TRUE(game.waitForSettings(false));
  EXPECT_EQ(game.settings().c_lflag & (ICANON | ECHO), 0u);
  ASSERT_TRUE(game.waitForOutput(std::string(kLeaveScreen) + kEnterScreen));
  game.type("a");
  EXPECT_TRUE(game.waitForOutput("(<_<)"));

  game.signal(SIGTERM);
  EXPECT_EQ(game.waitForEndSignal(), SIGTERM);
  EXPECT_TRUE(game.settingsAreOriginal());
}

TEST_F(TerminalTest, ClosedOutputEndsTheGameWithTheTerminalRestored) {
  PtyGame game(PtyGame::Output::Pipe);
  start(game);
  // Output that is not a terminal carries the frames alone.
  EXPECT_EQ(game.output().find('\x1b'), std::string::npos);
  EXPECT_EQ(game.settings().c_lflag & (ICANON | ECHO), 0u);
  game.closeOutput();
  EXPECT_EQ(game.waitForEndSignal(), SIGPIPE);
  EXPECT_TRUE(game.settingsAreOriginal());
}

}  // namespace
}  // namespace oneline
