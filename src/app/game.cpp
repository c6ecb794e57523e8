#include "app/game.hpp"

#include <limits>

namespace oneline {

Game::Game(LineOutput& out)
    : screen(kLineWidth, out),
      player(30, Player::kFacingRight, screen, 10),
      enemy(70, Enemy::kSprite, screen, 10),
      bullet(-1, Bullet::kIdleSprite, screen, 10) {}

void Game::handleKey(int key) {
  switch (key) {
    case kKeyFire:
      bullet.fire(player.getPos());
      break;
    case kKeyLeft:
      player.moveLeft();
      break;
    case kKeyRight:
      player.moveRight();
      break;
    case kKeySwitchMode:
      bullet.switchMode();
      break;
    default:
      break;
  }
}

void Game::runFrame(Console& console) {
  screen.clear();
  if (console.keyWaiting()) handleKey(console.readKey());

  // Later draws cover earlier ones: the player covers its own weapon, the enemy the player.
  bullet.drawIfActive();
  player.draw();
  enemy.draw();

  // Each call reads its arguments as they are now: the weapon sees the enemy after its step.
  enemy.update(player.getPos(), frame, bullet.getPos());
  bullet.update(enemy.getPos(), player.isFacingLeft(), screen.getWidth(), player.getPos());

  screen.print();
  // Wraps to 0 instead of overflowing, after more than four years of play.
  frame = frame == std::numeric_limits<std::int32_t>::max() ? 0 : frame + 1;
}

void runForever(Game& game, Console& console) {
  for (;;) {
    game.runFrame(console);
    console.pause(kPauseMilliseconds);
  }
}

}  // namespace oneline
