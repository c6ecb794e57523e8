#include "actors/bullet.hpp"

#include "actors/player.hpp"

#include <gtest/gtest.h>

#include "support/scripted_console.hpp"

namespace oneline {
namespace {

using testing::lineWith;

constexpr bool kFacingLeft = true;
constexpr bool kFacingRight = false;

class BulletTest : public ::testing::Test {
 protected:
  // One update on a freshly cleared line; returns what it drew.
  std::string update(std::int32_t enemyX, bool facingLeft, std::int32_t playerX) {
    screen.clear();
    bullet.update(enemyX, facingLeft, 80, playerX);
    return std::string(screen.line());
  }
  // Lights a beam at playerX from shot mode with no cooldown on.
  void lightBeam(std::int32_t playerX) {
    bullet.switchMode();
    bullet.fire(playerX);
  }
  std::string beam(int first, int last) {
    return lineWith({{first, std::string(last - first + 1, '=')}});
  }

  testing::ScriptedConsole console;
  Screen screen{80, console};
  Bullet bullet{-1, "+", screen, 10};
};

TEST_F(BulletTest, StartsIdleInShotModeOffTheLine) {
  EXPECT_FALSE(bullet.isActive());
  EXPECT_EQ(bullet.getMode(), Bullet::kShotMode);
  EXPECT_EQ(bullet.getPos(), -1);
  EXPECT_EQ(update(70, kFacingRight, 30), lineWith({}));
  screen.clear();
  bullet.drawIfActive();
  EXPECT_EQ(screen.line(), lineWith({}));
}

TEST_F(BulletTest, ShotTravelsAwayFromThePlayerAndStopsOnTheEnemysColumn) {
  bullet.fire(30);
  EXPECT_STREQ(bullet.getSprite(), "*");
  EXPECT_EQ(bullet.getPos(), 30);
  update(70, kFacingRight, 30);
  EXPECT_EQ(bullet.getPos(), 31);
  screen.clear();
  bullet.drawIfActive();
  EXPECT_EQ(screen.line(), lineWith({{31, "*"}}));
  for (int i = 0; i < 38; ++i) update(70, kFacingRight, 30);
  EXPECT_TRUE(bullet.isActive());
  EXPECT_EQ(bullet.getPos(), 69);
  update(70, kFacingRight, 30);
  EXPECT_FALSE(bullet.isActive());
  EXPECT_EQ(bullet.getPos(), 70);
  // Stopped, it keeps its column for the enemy's hit test, but is no longer drawn there.
  update(70, kFacingRight, 30);
  EXPECT_EQ(bullet.getPos(), 70);
  screen.clear();
  bullet.drawIfActive();
  EXPECT_EQ(screen.line(), lineWith({}));
}

TEST_F(BulletTest, ShotMovesTheWayThePlayerFacesFromThePlayersOwnColumn) {
  bullet.fire(30);
  update(70, kFacingLeft, 30);
  EXPECT_EQ(bullet.getPos(), 29);
  // A player who follows it onto its column faces its way, and so does not turn it.
  update(70, kFacingLeft, 29);
  EXPECT_EQ(bullet.getPos(), 28);
}

// Fires from a column and counts the updates until the shot stops.
struct Flight {
  std::int32_t from;
  bool facingLeft;
  int updates;
  std::int32_t stop;
};

TEST_F(BulletTest, ShotStopsAtColumnZeroAndAtTheLineWidth) {
  const Flight flights[] = {
      {2, kFacingLeft, 2, 0},
      {78, kFacingRight, 2, 80},
      // From off the line it flies onto it, until it reaches column 0 or the line's width.
      {-3, kFacingRight, 3, 0},
      {83, kFacingLeft, 3, 80},
      // Heading away from the line it would never meet either: it stops at its first step.
      {0, kFacingLeft, 1, -1},
      {-7, kFacingLeft, 1, -8},
      {80, kFacingRight, 1, 81},
      {95, kFacingRight, 1, 96},
  };
  for (const Flight& f : flights) {
    bullet.fire(f.from);
    for (int i = 1; i < f.updates; ++i) update(-50, f.facingLeft, f.from);
    EXPECT_TRUE(bullet.isActive()) << f.from;
    update(-50, f.facingLeft, f.from);
    EXPECT_FALSE(bullet.isActive()) << f.from;
    EXPECT_EQ(bullet.getPos(), f.stop) << f.from;
  }
  // The fire key works again at once.
  bullet.fire(30);
  EXPECT_TRUE(bullet.isActive());
  EXPECT_EQ(bullet.getPos(), 30);
}

TEST_F(BulletTest, FireDuringAFlightChangesNothing) {
  bullet.fire(30);
  update(70, kFacingRight, 30);
  bullet.fire(40);
  EXPECT_TRUE(bullet.isActive());
  EXPECT_EQ(bullet.getPos(), 31);
}

TEST_F(BulletTest, ShotPassesThroughAnEnemySteppingOntoItsColumn) {
  bullet.fire(30);
  for (int i = 0; i < 20; ++i) update(70, kFacingRight, 30);
  EXPECT_EQ(bullet.getPos(), 50);
  update(50, kFacingRight, 30);
  EXPECT_TRUE(bullet.isActive());
  EXPECT_EQ(bullet.getPos(), 51);
}

TEST_F(BulletTest, BeamFillsTheGapTowardTheEnemyOrRunsToTheLineEnd) {
  lightBeam(40);
  EXPECT_STREQ(bullet.getSprite(), "=");
  EXPECT_EQ(update(30, kFacingLeft, 40), beam(36, 39));
  EXPECT_EQ(update(40, kFacingRight, 30), beam(35, 39));
  EXPECT_EQ(update(30, kFacingRight, 40), beam(45, 79));
  EXPECT_EQ(update(50, kFacingLeft, 40), beam(0, 39));
  // On the enemy's column (where it stops) the enemy is not left of the player.
  EXPECT_EQ(update(40, kFacingLeft, 40), beam(0, 39));
  // Beside the enemy there is no gap, but the frame still counts.
  EXPECT_EQ(update(35, kFacingRight, 30), lineWith({}));
  EXPECT_EQ(update(24, kFacingLeft, 30), lineWith({}));
  EXPECT_EQ(bullet.getBeamFrames(), 7);
  // The beam never moves the weapon's own column.
  EXPECT_EQ(bullet.getPos(), 40);
}

TEST_F(BulletTest, BeamFarOffTheLineDrawsOnlyWhatIsOnIt) {
  lightBeam(Player::kFarthestColumn);
  EXPECT_EQ(update(70, kFacingLeft, 1'000'000'000), beam(76, 79));
}

TEST_F(BulletTest, BeamLastsTenFramesThenTheWeaponIsBackInShotMode) {
  lightBeam(30);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(update(40, kFacingRight, 30), beam(35, 39)) << i;
  EXPECT_EQ(update(40, kFacingRight, 30), lineWith({}));
  EXPECT_FALSE(bullet.isActive());
  EXPECT_EQ(bullet.getMode(), Bullet::kShotMode);
  EXPECT_EQ(bullet.getBeamFrames(), 0);
}

TEST_F(BulletTest, FireDuringABeamSwitchesItOffAndTheRestOfItsFramesCarryOver) {
  lightBeam(30);
  for (int i = 0; i < 4; ++i) update(40, kFacingRight, 30);
  bullet.fire(30);
  EXPECT_FALSE(bullet.isActive());
  EXPECT_EQ(bullet.getMode(), Bullet::kBeamMode);
  EXPECT_EQ(update(40, kFacingRight, 30), lineWith({}));
  bullet.fire(30);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(update(40, kFacingRight, 30), beam(35, 39)) << i;
  EXPECT_EQ(update(40, kFacingRight, 30), lineWith({}));
  EXPECT_FALSE(bullet.isActive());
  EXPECT_EQ(bullet.getMode(), Bullet::kShotMode);
}

TEST_F(BulletTest, SwitchDuringABeamSendsAShotFromWhereTheBeamBegan) {
  lightBeam(30);
  update(40, kFacingRight, 30);
  bullet.switchMode();
  EXPECT_TRUE(bullet.isActive());
  EXPECT_EQ(bullet.getMode(), Bullet::kShotMode);
  // The player has walked past the beam's column: the shot moves away from the player's side.
  update(70, kFacingRight, 33);
  EXPECT_EQ(bullet.getPos(), 29);
  EXPECT_STREQ(bullet.getSprite(), "=");
}

TEST_F(BulletTest, SwitchDuringAFlightTurnsTheShotIntoABeamWhereItIs) {
  bullet.fire(30);
  update(50, kFacingRight, 30);
  bullet.switchMode();
  EXPECT_EQ(update(50, kFacingRight, 30), beam(35, 49));
  EXPECT_TRUE(bullet.isActive());
  EXPECT_EQ(bullet.getPos(), 31);
  EXPECT_STREQ(bullet.getSprite(), "*");
}

TEST_F(BulletTest, CooldownRefusesSwitchesIntoBeamModeUntilACheckFindsAMultipleOfThirty) {
  bullet.switchMode();
  EXPECT_TRUE(bullet.isCoolingDown());
  bullet.switchMode();  // back to shot mode: never refused
  EXPECT_EQ(bullet.getMode(), Bullet::kShotMode);
  bullet.switchMode();  // refused, and counted
  EXPECT_EQ(bullet.getMode(), Bullet::kShotMode);
  EXPECT_EQ(bullet.getCooldownCount(), 1);
  // An idle weapon neither counts nor checks.
  for (int i = 0; i < 100; ++i) update(70, kFacingRight, 30);
  EXPECT_EQ(bullet.getCooldownCount(), 1);
  EXPECT_TRUE(bullet.isCoolingDown());

  bullet.fire(30);
  for (int i = 0; i < 28; ++i) update(70, kFacingRight, 30);
  EXPECT_EQ(bullet.getCooldownCount(), 29);
  update(70, kFacingRight, 30);
  EXPECT_FALSE(bullet.isCoolingDown());
  EXPECT_EQ(bullet.getCooldownCount(), 0);
  bullet.switchMode();
  EXPECT_EQ(bullet.getMode(), Bullet::kBeamMode);
}

TEST_F(BulletTest, RefusedPressesCanCarryTheCountPastAMultipleOfThirty) {
  bullet.switchMode();
  bullet.switchMode();
  bullet.fire(30);
  for (int i = 0; i < 28; ++i) update(70, kFacingRight, 30);
  bullet.switchMode();
  bullet.switchMode();
  EXPECT_EQ(bullet.getCooldownCount(), 30);
  update(70, kFacingRight, 30);
  EXPECT_TRUE(bullet.isCoolingDown());
  EXPECT_EQ(bullet.getCooldownCount(), 31);
  for (int i = 0; i < 11; ++i) update(70, kFacingRight, 30);
  EXPECT_FALSE(bullet.isActive());
  EXPECT_EQ(bullet.getCooldownCount(), 42);
  bullet.fire(30);
  for (int i = 0; i < 17; ++i) update(70, kFacingRight, 30);
  EXPECT_TRUE(bullet.isCoolingDown());
  update(70, kFacingRight, 30);
  EXPECT_FALSE(bullet.isCoolingDown());
}

TEST_F(BulletTest, BeamEndingUpdateSkipsTheCooldownStep) {
  lightBeam(30);
  for (int i = 0; i < 10; ++i) update(40, kFacingRight, 30);
  EXPECT_EQ(bullet.getCooldownCount(), 10);
  update(40, kFacingRight, 30);
  EXPECT_EQ(bullet.getCooldownCount(), 10);
  EXPECT_TRUE(bullet.isCoolingDown());
}

}  // namespace
}  // namespace oneline
