#include "actors/enemy.hpp"

#include <gtest/gtest.h>

#include "support/scripted_console.hpp"

namespace oneline {
namespace {

class EnemyTest : public ::testing::Test {
 protected:
  testing::ScriptedConsole console;
  Screen screen{80, console};
  Enemy enemy{70, "(*--*)", screen, 10};
};

TEST_F(EnemyTest, StepsTowardAStillPlayerOnEveryFifthFrameFromFrameZero) {
  enemy.update(30, 0, -1);
  EXPECT_EQ(enemy.getPos(), 69);
  for (int frame = 1; frame < 195; ++frame) enemy.update(30, frame, -1);
  EXPECT_EQ(enemy.getPos(), 31);
  enemy.update(30, 195, -1);
  EXPECT_EQ(enemy.getPos(), 30);
  for (int frame = 196; frame < 400; ++frame) enemy.update(30, frame, -1);
  EXPECT_EQ(enemy.getPos(), 30);
  EXPECT_EQ(enemy.getHp(), 10);
}

TEST_F(EnemyTest, StepsRightTowardAPlayerOnItsRightAndStaysOnThePlayersColumn) {
  enemy.stepToward(75);
  EXPECT_EQ(enemy.getPos(), 71);
  enemy.stepToward(71);
  EXPECT_EQ(enemy.getPos(), 71);
}

TEST_F(EnemyTest, OnlyTheFirstColumnTakesHitsAndPointsStopAtZero) {
  enemy.takeHit(71);
  enemy.takeHit(69);
  EXPECT_EQ(enemy.getHp(), 10);
  for (int i = 0; i < 12; ++i) enemy.takeHit(70);
  EXPECT_EQ(enemy.getHp(), 0);
  screen.clear();
  enemy.draw();
  EXPECT_EQ(screen.line(), std::string(80, ' '));
}

TEST_F(EnemyTest, HitTestComesBeforeTheStep) {
  enemy.update(30, 4, 70);
  EXPECT_EQ(enemy.getHp(), 9);
  EXPECT_EQ(enemy.getPos(), 70);
  enemy.update(30, 5, 70);
  EXPECT_EQ(enemy.getHp(), 8);
  EXPECT_EQ(enemy.getPos(), 69);
  // Now off the weapon's column, and so out of its reach.
  enemy.update(30, 6, 70);
  EXPECT_EQ(enemy.getHp(), 8);
}

TEST_F(EnemyTest, SpentEnemyStillWalks) {
  Enemy spent(70, "(*--*)", screen, 0);
  spent.update(30, 0, 70);
  EXPECT_EQ(spent.getHp(), 0);
  EXPECT_EQ(spent.getPos(), 69);
}

}  // namespace
}  // namespace oneline
