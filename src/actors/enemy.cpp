#include "actors/enemy.hpp"

namespace oneline {

void Enemy::takeHit(std::int32_t shotX) {
  if (hp != 0 && shotX == x) hp -= 1;
}

void Enemy::stepToward(std::int32_t targetX) {
  if (x < targetX) {
    x += 1;
  } else if (x > targetX) {
    x -= 1;
  }
}

void Enemy::update(std::int32_t playerX, std::int32_t frame, std::int32_t shotX) {
  takeHit(shotX);
  if (frame % kStepEveryFrames == 0) stepToward(playerX);
}

}  // namespace oneline
