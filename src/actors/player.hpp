#pragma once

#include <cstdint>

#include "actors/actor.hpp"

namespace oneline {

// The actor the user steers: one column per key press, its sprite showing which way it faces.
class Player : public Actor {
 public:
  static constexpr const char* kFacingRight = "(>_>)";
  static constexpr const char* kFacingLeft = "(<_<)";
  // The player stops this far from zero either way. Unreachable in play (over two years of
  // holding a key), it keeps every column derived from the player's clear of overflow.
  static constexpr std::int32_t kFarthestColumn = 1'000'000'000;

  using Actor::Actor;

  void faceLeft();
  void faceRight();
  // Turns first, then steps one column.
  void moveLeft();
  void moveRight();
  bool isFacingLeft() const { return facingLeft; }
};

}  // namespace oneline
