#include "actors/player.hpp"

#include <gtest/gtest.h>

#include "support/scripted_console.hpp"

namespace oneline {
namespace {

using testing::lineWith;
using testing::ScriptedConsole;

class PlayerTest : public ::testing::Test {
 protected:
  std::string drawn(Actor& actor) {
    screen.clear();
    actor.draw();
    return std::string(screen.line());
  }
  ScriptedConsole console;
  Screen screen{80, console};
  Player player{30, "(>_>)", screen, 10};
};

TEST_F(PlayerTest, StartsAtThirtyFacingRight) {
  EXPECT_EQ(player.getPos(), 30);
  EXPECT_FALSE(player.isFacingLeft());
  EXPECT_EQ(drawn(player), lineWith({{30, "(>_>)"}}));
}

TEST_F(PlayerTest, MoveTurnsFirstThenSteps) {
  player.moveLeft();
  EXPECT_EQ(player.getPos(), 29);
  EXPECT_TRUE(player.isFacingLeft());
  EXPECT_EQ(drawn(player), lineWith({{29, "(<_<)"}}));
  player.moveLeft();
  EXPECT_EQ(player.getPos(), 28);
  player.moveRight();
  EXPECT_EQ(player.getPos(), 29);
  EXPECT_FALSE(player.isFacingLeft());
  EXPECT_STREQ(player.getSprite(), "(>_>)");
}

TEST_F(PlayerTest, WalkingOffTheLeftEndHidesTheWholeSprite) {
  player.setPos(0);
  player.moveLeft();
  EXPECT_EQ(player.getPos(), -1);
  EXPECT_EQ(drawn(player), lineWith({}));
  player.moveRight();
  EXPECT_EQ(drawn(player), lineWith({{0, "(>_>)"}}));
}

TEST_F(PlayerTest, WalkingIntoTheRightEdgeCutsTheSprite) {
  player.setPos(75);
  player.moveRight();
  EXPECT_EQ(drawn(player), std::string(76, ' ') + "(>_>");
}

TEST_F(PlayerTest, ColumnStopsFarBeyondTheLineInsteadOfOverflowing) {
  player.setPos(Player::kFarthestColumn);
  player.moveRight();
  EXPECT_EQ(player.getPos(), Player::kFarthestColumn);
  player.setPos(-Player::kFarthestColumn);
  player.moveLeft();
  EXPECT_EQ(player.getPos(), -Player::kFarthestColumn);
  EXPECT_TRUE(player.isFacingLeft());
}

TEST_F(PlayerTest, OnlyZeroHitPointsHideAnActor) {
  Actor spent(10, "(*--*)", screen, 0);
  Actor negative(10, "(*--*)", screen, -1);
  EXPECT_EQ(drawn(spent), lineWith({}));
  EXPECT_EQ(drawn(negative), lineWith({{10, "(*--*)"}}));
}

TEST_F(PlayerTest, OverlongSpriteKeepsItsFirstNineteenCharacters) {
  Actor actor(0, "abcdefghijklmnopqrstuvwxyz", screen, 1);
  EXPECT_STREQ(actor.getSprite(), "abcdefghijklmnopqrs");
  Actor empty(0, nullptr, screen, 1);
  EXPECT_STREQ(empty.getSprite(), "");
}

}  // namespace
}  // namespace oneline
