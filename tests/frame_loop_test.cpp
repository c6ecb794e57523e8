#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>

#include "app/game.hpp"
#include "support/scripted_console.hpp"

namespace oneline {
namespace {

using testing::lineWith;
using testing::ScriptedConsole;

std::string frameWith(std::initializer_list<testing::Placed> placed) {
  return lineWith(placed) + "\r";
}

// A game and its console, run a frame at a time.
struct Play {
  explicit Play(std::string_view keys = {}) : console(keys) {}
  void frames(int count) {
    for (int i = 0; i < count; ++i) game.runFrame(console);
  }
  ScriptedConsole console;
  Game game{console};
};

TEST(FrameLoopTest, EveryFrameClearsDrawsAndPrintsEvenWithoutKeys) {
  Play play;
  play.frames(2);
  ASSERT_EQ(play.console.frames.size(), 2u);
  EXPECT_EQ(play.console.frames[0], frameWith({{30, "(>_>)"}, {70, "(*--*)"}}));
  // Drawn before its update: the enemy's first step shows in the second frame.
  EXPECT_EQ(play.console.frames[1], frameWith({{30, "(>_>)"}, {69, "(*--*)"}}));
  EXPECT_EQ(play.game.frame, 2);
}

TEST(FrameLoopTest, KeysActInTheFrameThatReadsThemOnePerFrameInOrder) {
  Play play("aad");
  play.frames(4);
  const auto& frames = play.console.frames;
  EXPECT_EQ(frames[0], frameWith({{29, "(<_<)"}, {70, "(*--*)"}}));
  EXPECT_EQ(frames[1], frameWith({{28, "(<_<)"}, {69, "(*--*)"}}));
  EXPECT_EQ(frames[2], frameWith({{29, "(>_>)"}, {69, "(*--*)"}}));
  EXPECT_EQ(frames[3], frameWith({{29, "(>_>)"}, {69, "(*--*)"}}));
  EXPECT_TRUE(play.console.waiting.empty());
}

TEST(FrameLoopTest, UnboundValuesDoNothing) {
  Play keyed;
  for (int key = 0; key < 256; ++key) {
    if (key != 'a' && key != 'd' && key != ' ' && key != 'm') keyed.console.typeValue(key);
  }
  // An arrow key's three values, each read in a frame of its own.
  keyed.console.type("\x1b[D");
  const int keys = static_cast<int>(keyed.console.waiting.size());
  Play idle;
  keyed.frames(keys);
  idle.frames(keys);
  EXPECT_EQ(keyed.console.frames, idle.console.frames);
}

TEST(FrameLoopTest, ShotIsHiddenUnderThePlayerThenCrossesTheLine) {
  Play play(" ");
  play.frames(6);
  const auto& frames = play.console.frames;
  EXPECT_EQ(frames[0], frameWith({{30, "(>_>)"}, {70, "(*--*)"}}));
  EXPECT_EQ(frames[4], frameWith({{30, "(>_>)"}, {69, "(*--*)"}}));
  EXPECT_EQ(frames[5], frameWith({{35, "*"}, {30, "(>_>)"}, {69, "(*--*)"}}));
}

TEST(FrameLoopTest, ShotCrossesTheLineToItsLastColumnAndStopsPastIt) {
  Play play(" ");
  play.game.enemy.setPos(-20);  // behind the player, out of the shot's way
  play.frames(51);
  const auto& frames = play.console.frames;
  EXPECT_EQ(frames[49], frameWith({{79, "*"}, {30, "(>_>)"}}));
  EXPECT_EQ(frames[50], frameWith({{30, "(>_>)"}}));
  EXPECT_FALSE(play.game.bullet.isActive());
  EXPECT_EQ(play.game.bullet.getPos(), 80);
}

TEST(FrameLoopTest, WeaponNeverFiredStandsJustLeftOfTheLine) {
  // An enemy on column 0 is safe from it; one that follows the player to column -1 is hit.
  Play play;
  play.game.player.setPos(0);
  play.game.enemy.setPos(0);
  play.frames(10);
  EXPECT_EQ(play.game.enemy.getHp(), 10);
  play.game.player.setPos(-1);
  play.game.enemy.setPos(-1);
  play.frames(3);
  EXPECT_EQ(play.game.enemy.getHp(), 7);
}

TEST(FrameLoopTest, FrameNumberWrapsToZeroAtItsLimitAndTheEnemyStepsOn) {
  Play play;
  play.game.frame = std::numeric_limits<std::int32_t>::max() - 1;
  play.frames(2);
  EXPECT_EQ(play.game.frame, 0);
  EXPECT_EQ(play.game.enemy.getPos(), 70);
  play.frames(1);  // frame 0 steps
  EXPECT_EQ(play.game.enemy.getPos(), 69);
}

TEST(FrameLoopTest, StoppedShotCostsAPointEachFrameUntilTheEnemyStepsAway) {
  Play play(" ");
  play.frames(33);
  EXPECT_FALSE(play.game.bullet.isActive());
  EXPECT_EQ(play.game.bullet.getPos(), 63);
  EXPECT_EQ(play.game.enemy.getHp(), 10);
  play.frames(3);  // hit, hit, hit and step
  EXPECT_EQ(play.game.enemy.getHp(), 7);
  EXPECT_EQ(play.game.enemy.getPos(), 62);
  play.frames(10);
  EXPECT_EQ(play.game.enemy.getHp(), 7);
}

TEST(FrameLoopTest, BeamShowsInTheFrameThatLightsIt) {
  Play play("m ");
  play.frames(2);
  EXPECT_EQ(play.console.frames[1],
            frameWith({{30, "(>_>)"}, {69, "(*--*)"}, {35, std::string(34, '=')}}));
}

TEST(FrameLoopTest, BeamOnTheEnemysColumnTakesAllItsPointsAndItVanishes) {
  Play play;
  play.game.player.setPos(70);
  play.console.type("m ");
  play.frames(11);
  EXPECT_EQ(play.game.enemy.getHp(), 0);
  play.frames(1);
  EXPECT_EQ(play.console.frames.back(), frameWith({{70, "(>_>)"}}));
}

// Ends the endless loop from inside a pause, or at a frame that no pause preceded.
struct StopAfterPauses : ScriptedConsole {
  explicit StopAfterPauses(std::size_t limit) : limit(limit) {}
  void pause(int milliseconds) override {
    ScriptedConsole::pause(milliseconds);
    if (pauses.size() == limit) throw limit;
  }
  void printLine(std::string_view text) override {
    if (frames.size() > pauses.size()) throw std::runtime_error("two frames without a pause");
    ScriptedConsole::printLine(text);
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
