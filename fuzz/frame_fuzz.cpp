// Feeds arbitrary key streams to the game's frames, one byte a frame, and checks after every
// frame what must always hold, whatever the keys.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "app/game.hpp"

namespace {

using namespace oneline;

void require(bool holds, const char* what) {
  if (!holds) {
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
  }
}

class FuzzConsole final : public Console {
 public:
  FuzzConsole(const std::uint8_t* data, std::size_t size) : keys(data), left(size) {}
  bool keyWaiting() override { return left > 0; }
  int readKey() override {
    --left;
    return *keys++;
  }
  void pause(int) override {}
  void printLine(std::string_view text) override {
    require(text.size() == static_cast<std::size_t>(kLineWidth), "the line has 80 characters");
    require(text.data()[text.size()] == '\0', "the line ends in its terminator");
    ++printed;
  }

  std::size_t printed = 0;

 private:
  const std::uint8_t* keys;
  std::size_t left;
};

// After the keys run out, enough frames for any beam, shot or cooldown count to play out.
constexpr std::size_t kFramesAfterKeys = 120;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzConsole console(data, size);
  Game game(console);
  const std::size_t frames = size + kFramesAfterKeys;
  for (std::size_t i = 0; i < frames; ++i) {
    game.runFrame(console);
    require(console.printed == i + 1, "every frame prints one line");
    require(game.enemy.getHp() >= 0 && game.enemy.getHp() <= 10, "enemy hit points within 0..10");
    require(
        game.bullet.getMode() == Bullet::kShotMode || game.bullet.getMode() == Bullet::kBeamMode,
        "weapon mode is 0 or 1");
    require(game.bullet.getBeamFrames() >= 0 && game.bullet.getBeamFrames() <= Bullet::kBeamFrames,
            "beam frames within 0..10");
    require(game.player.getHp() == 10, "the player never loses points");
  }
  return 0;
}
