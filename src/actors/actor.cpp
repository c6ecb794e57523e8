#include "actors/actor.hpp"

namespace oneline {

Actor::Actor(std::int32_t x, const char* text, Screen& screen, std::int32_t hp)
    : x(x), sprite{}, screen(screen), hp(hp) {
  setSprite(text);
}

void Actor::draw() {
  if (hp != 0) screen.draw(x, sprite);
}

void Actor::setSprite(const char* text) {
  std::size_t n = 0;
  if (text != nullptr) {
    for (; n + 1 < kSpriteSize && text[n] != '\0'; ++n) sprite[n] = text[n];
  }
  sprite[n] = '\0';
}

}  // namespace oneline
