#include "actors/bullet.hpp"

#include <algorithm>

namespace oneline {

void Bullet::fire(std::int32_t playerX) {
  setSprite(mode == kBeamMode ? kBeamSprite : kShotSprite);
  if (active) {
    // A second fire ends a beam; a shot in flight flies on.
    if (mode == kBeamMode) active = false;
    return;
  }
  active = true;
  x = playerX;
}

void Bullet::switchMode() {
  if (mode == kBeamMode) {
    mode = kShotMode;
    return;
  }
  // A refused press still counts toward the end of the cooldown.
  if (cooldownTick()) return;
  cooldown = true;
  mode = kBeamMode;
}

void Bullet::drawIfActive() {
  if (active) draw();
}

void Bullet::update(std::int32_t enemyX, bool playerFacingLeft, std::int32_t width,
                    std::int32_t playerX) {
  // An idle weapon does nothing, and its cooldown stands still.
  if (!active) return;
  if (mode == kShotMode) {
    moveShot(enemyX, playerFacingLeft, width, playerX);
  } else {
    if (beamFrames == kBeamFrames) {
      beamFrames = 0;
      active = false;
      switchMode();
      return;
    }
    drawBeam(enemyX, playerFacingLeft, width, playerX);
    beamFrames += 1;
  }
  cooldownTick();
  cooldownCheck();
}

void Bullet::moveShot(std::int32_t enemyX, bool playerFacingLeft, std::int32_t width,
                      std::int32_t playerX) {
  // Away from the player; on the player's own column, the way the player faces.
  const bool left = playerFacingLeft ? !(x > playerX) : x < playerX;
  const std::int32_t next = left ? x - 1 : x + 1;
  // A shot heading away from the line would never meet column 0 or width: it stops at once.
  const bool leavingLine = (left && next < 0) || (!left && next > width);
  if (next == enemyX || next == 0 || next == width || leavingLine) active = false;
  x = next;
}

void Bullet::drawBeam(std::int32_t enemyX, bool playerFacingLeft, std::int32_t width,
                      std::int32_t playerX) {
  // Facing the enemy the beam fills the gap between the sprites; facing away, it runs from the
  // player to the end of the line.
  std::int32_t first = 0;
  std::int32_t last = 0;
  if (playerFacingLeft) {
    first = playerX - 1;
    last = playerX > enemyX ? enemyX + kEnemyWidth : 0;
  } else {
    first = playerX > enemyX ? width : enemyX - 1;
    last = playerX + kPlayerWidth;
  }
  // Cells off the line would be ignored anyway; not visiting them keeps a far-off player cheap.
  for (std::int32_t column = std::min(first, width - 1); column >= std::max(last, 0); --column) {
    drawBeamCell(column);
  }
}

bool Bullet::cooldownTick() {
  if (!cooldown) return false;
  cooldownCount += 1;
  return true;
}

void Bullet::cooldownCheck() {
  if (cooldownCount % kCooldownCounts == 0) {
    cooldownCount = 0;
    cooldown = false;
  }
}

void Bullet::drawBeamCell(std::int32_t column) { screen.draw(column, kBeamSprite); }

}  // namespace oneline
