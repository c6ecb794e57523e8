#include "app/game.hpp"
#include "platform/console.hpp"

// Takes no arguments into account: the game runs until it is stopped from outside.
int main() {
  oneline::Console& console = oneline::systemConsole();
  oneline::Game game(console);
  oneline::runForever(game, console);
}
