#include "app/game.hpp"

#include <limits>

namespace oneline {

Game::Game(LineOutput& out)
    : screen(kLineWidth, out), player(30, Player::kFacingRight, screen, 10) {}

void Game::handleKey(int key) {
  switch (key) {
    case kKeyLeft:
      player.moveLeft();
      break;
    case kKeyRight:
      player.moveRight();
      break;
    default:
      break;
  }
}

void Game::runFrame(Console& console) {
  screen.clear();
  if (console.keyWaiting()) handleKey(console.readKey());

  player.draw();

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
