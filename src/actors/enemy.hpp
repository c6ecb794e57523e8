#pragma once

#include <cstdint>

#include "actors/actor.hpp"

namespace oneline {

// The player's opponent: steps toward the player every fifth frame and loses a hit point
// whenever the weapon's column is its own first column.
class Enemy : public Actor {
 public:
  static constexpr const char* kSprite = "(*--*)";
  static constexpr std::int32_t kStepEveryFrames = 5;

  using Actor::Actor;

  // One point off while any are left, when shotX is the enemy's first column.
  void takeHit(std::int32_t shotX);
  // One column toward targetX; none when already there.
  void stepToward(std::int32_t targetX);
  // The hit test first, then the step on frames 0, 5, 10, ...
  void update(std::int32_t playerX, std::int32_t frame, std::int32_t shotX);
};

}  // namespace oneline
