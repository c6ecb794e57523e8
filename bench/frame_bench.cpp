// Cost of the frame's own work: every phase of a frame, the line printed to a sink that
// discards it, no pause.
#include <benchmark/benchmark.h>

#include <string_view>

#include "app/game.hpp"

namespace {

using namespace oneline;

// Keys from a fixed script, over and over; the printed line goes nowhere.
class BenchConsole final : public Console {
 public:
  explicit BenchConsole(std::string_view keys) : keys(keys) {}
  bool keyWaiting() override { return !keys.empty(); }
  int readKey() override {
    const int key = static_cast<unsigned char>(keys[next]);
    next = (next + 1) % keys.size();
    return key;
  }
  void pause(int) override {}
  void printLine(std::string_view text) override { benchmark::DoNotOptimize(text.data()); }

 private:
  std::string_view keys;
  std::size_t next = 0;
};

void frame(benchmark::State& state, std::string_view keys) {
  BenchConsole console(keys);
  Game game(console);
  // One iteration is one frame: the Time column reads as nanoseconds per frame.
  for (auto _ : state) game.runFrame(console);
  state.SetItemsProcessed(state.iterations());
}

// No keys: the player stands, the enemy walks up to it.
void FrameIdle(benchmark::State& state) { frame(state, {}); }
// A key every frame: walks, shots, beams (the longest frames draw a beam across the line).
void FrameWithKeys(benchmark::State& state) { frame(state, "m d  a dd m    aa  "); }

BENCHMARK(FrameIdle);
BENCHMARK(FrameWithKeys);

}  // namespace

BENCHMARK_MAIN();
