#pragma once

#include <cstdint>

#include "actors/actor.hpp"

namespace oneline {

// The player's weapon. In shot mode a fire sends "*" along the line, one column per frame; in
// beam mode it lights "=" cells for up to ten frames. Switching into beam mode starts a
// cooldown that refuses the next switch into beam mode until it ends.
class Bullet : public Actor {
 public:
  static constexpr const char* kIdleSprite = "+";
  static constexpr const char* kShotSprite = "*";
  static constexpr const char* kBeamSprite = "=";
  static constexpr std::int32_t kBeamMode = 0;
  static constexpr std::int32_t kShotMode = 1;
  static constexpr std::int32_t kBeamFrames = 10;
  static constexpr std::int32_t kCooldownCounts = 30;
  // The sprites a beam runs between: the player's covers x to x + 4, the enemy's x to x + 5.
  static constexpr std::int32_t kPlayerWidth = 5;
  static constexpr std::int32_t kEnemyWidth = 6;

  using Actor::Actor;

  // Bound to space. Starts a shot or a beam from the player's column; during a beam, ends it.
  void fire(std::int32_t playerX);
  // Bound to 'm'. Back to shot mode always; into beam mode unless the cooldown refuses it.
  void switchMode();
  void drawIfActive();
  // One frame of the shot or the beam, then the cooldown's step.
  void update(std::int32_t enemyX, bool playerFacingLeft, std::int32_t width, std::int32_t playerX);

  bool isActive() const { return active; }
  std::int32_t getMode() const { return mode; }
  std::int32_t getCooldownCount() const { return cooldownCount; }
  std::int32_t getBeamFrames() const { return beamFrames; }
  bool isCoolingDown() const { return cooldown; }

 private:
  void moveShot(std::int32_t enemyX, bool playerFacingLeft, std::int32_t width,
                std::int32_t playerX);
  void drawBeam(std::int32_t enemyX, bool playerFacingLeft, std::int32_t width,
                std::int32_t playerX);
  // Counts while the cooldown is on; says whether it is.
  bool cooldownTick();
  // Ends the cooldown when the count is a multiple of 30.
  void cooldownCheck();
  void drawBeamCell(std::int32_t column);

  bool active = false;
  std::int32_t mode = kShotMode;
  std::int32_t cooldownCount = 0;
  // Beam frames drawn since the last reset; a beam switched off early leaves its count.
  std::int32_t beamFrames = 0;
  bool cooldown = false;
};

}  // namespace oneline
