#pragma once

#include <cstddef>
#include <cstdint>

#include "display/screen.hpp"

namespace oneline {

// A sprite text at a column of the shared line, with hit points. The base of every actor; no
// virtual operations, the derived classes use these directly.
class Actor {
 public:
  // Room for 19 characters and the terminator; longer texts keep their first 19.
  static constexpr std::size_t kSpriteSize = 20;

  Actor(std::int32_t x, const char* text, Screen& screen, std::int32_t hp);

  std::int32_t getPos() const { return x; }
  void setPos(std::int32_t newX) { x = newX; }
  // Draws the sprite at x while hp is not zero.
  void draw();

  const char* getSprite() const { return sprite; }
  std::int32_t getHp() const { return hp; }

 protected:
  void setSprite(const char* text);

  std::int32_t x;
  char sprite[kSpriteSize];
  Screen& screen;
  bool facingLeft = false;
  std::int32_t hp;
};

}  // namespace oneline
