#include "actors/player.hpp"

namespace oneline {

void Player::faceLeft() {
  facingLeft = true;
  setSprite(kFacingLeft);
}

void Player::faceRight() {
  facingLeft = false;
  setSprite(kFacingRight);
}

void Player::moveLeft() {
  faceLeft();
  if (x > -kFarthestColumn) x -= 1;
}

void Player::moveRight() {
  faceRight();
  if (x < kFarthestColumn) x += 1;
}

}  // namespace oneline
