#pragma once

#include <cstdint>

#include "actors/bullet.hpp"
#include "actors/enemy.hpp"
#include "actors/player.hpp"
#include "display/screen.hpp"
#include "platform/console.hpp"

namespace oneline {

inline constexpr std::int32_t kLineWidth = 80;
inline constexpr int kPauseMilliseconds = 66;

// Key values of the bound keys; every other value does nothing.
inline constexpr int kKeyFire = ' ';
inline constexpr int kKeyLeft = 'a';
inline constexpr int kKeyRight = 'd';
inline constexpr int kKeySwitchMode = 'm';

// Everything the game knows, built in this order and kept for the whole run.
struct Game {
  explicit Game(LineOutput& out);

  // One frame without its pause: clear, at most one key, draw, update, print, count.
  void runFrame(Console& console);
  void handleKey(int key);

  // Frames completed so far.
  std::int32_t frame = 0;
  Screen screen;
  Player player;
  Enemy enemy;
  Bullet bullet;
};

// Frames without end, each followed by the pause.
[[noreturn]] void runForever(Game& game, Console& console);

}  // namespace oneline
