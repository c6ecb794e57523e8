#include <gtest/gtest.h>

#include "app/game.hpp"
#include "support/scripted_console.hpp"

namespace oneline {
namespace {

using testing::lineWith;
using testing::ScriptedConsole;

std::string frameWith(std::initializer_list<testing::Placed> placed) {
  return lineWith(placed) + "\r";
}

TEST(FrameLoopTest, EveryFrameClearsDrawsAndPrintsEvenWithoutKeys) {
  ScriptedConsole console;
  Game game(console);
  game.runFrame(console);
  game.runFrame(console);
  ASSERT_EQ(console.frames.size(), 2u);
  EXPECT_EQ(console.frames[0], frameWith({{30, "(>_>)"}}));
  EXPECT_EQ(console.frames[1], console.frames[0]);
  EXPECT_EQ(game.frame, 2);
}

TEST(FrameLoopTest, KeysActInTheFrameThatReadsThemOnePerFrameInOrder) {
  ScriptedConsole console("aad");
  Game game(console);
  for (int i = 0; i < 4; ++i) game.runFrame(console);
  EXPECT_EQ(console.frames[0], frameWith({{29, "(<_<)"}}));
  EXPECT_EQ(console.frames[1], frameWith({{28, "(<_<)"}}));
  EXPECT_EQ(console.frames[2], frameWith({{29, "(>_>)"}}));
  EXPECT_EQ(console.frames[3], frameWith({{29, "(>_>)"}}));
  EXPECT_TRUE(console.waiting.empty());
}

TEST(FrameLoopTest, UnboundValuesDoNothing) {
  ScriptedConsole console;
  Game game(console);
  for (int key = 0; key < 256; ++key) {
    if (key != 'a' && key != 'd' && key != ' ' && key != 'm') console.typeValue(key);
  }
  // An arrow key's two values, each read in a frame of its own.
  console.type("\x1b[D");
  const std::size_t keys = console.waiting.size();
  for (std::size_t i = 0; i < keys; ++i) game.runFrame(console);
  for (const std::string& frame : console.frames) ASSERT_EQ(frame, console.frames[0]);
  EXPECT_EQ(game.player.getPos(), 30);
  EXPECT_FALSE(game.player.isFacingLeft());
}

// Ends the endless loop from inside a pause.
struct StopAfterPauses : ScriptedConsole {
  explicit StopAfterPauses(std::size_t limit) : limit(limit) {}
  void pause(int milliseconds) override {
    ScriptedConsole::pause(milliseconds);
    if (pauses.size() == limit) throw limit;
  }
  std::size_t limit;
};

TEST(FrameLoopTest, EachPrintedFrameIsFollowedByAPauseOf66Milliseconds) {
  StopAfterPauses console(3);
  Game game(console);
  EXPECT_THROW(runForever(game, console), std::size_t);
  EXPECT_EQ(console.frames.size(), 3u);
  EXPECT_EQ(console.pauses, (std::vector<int>{66, 66, 66}));
}

}  // namespace
}  // namespace oneline
