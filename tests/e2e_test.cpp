#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "support/expected_line.hpp"
#include "support/game_process.hpp"

namespace oneline {
namespace {

using testing::GameProcess;
using testing::lineWith;

TEST(GameExecutableTest, PlaysAKeyFileOneKeyPerFrameThenRunsOn) {
  GameProcess game("ddxa");
  const auto frames = game.readFrames(7);
  ASSERT_EQ(frames.size(), 7u);
  const std::vector<std::string> expected = {
      lineWith({{31, "(>_>)"}, {70, "(*--*)"}}), lineWith({{32, "(>_>)"}, {69, "(*--*)"}}),
      lineWith({{32, "(>_>)"}, {69, "(*--*)"}}), lineWith({{31, "(<_<)"}, {69, "(*--*)"}}),
      lineWith({{31, "(<_<)"}, {69, "(*--*)"}}), lineWith({{31, "(<_<)"}, {69, "(*--*)"}}),
      lineWith({{31, "(<_<)"}, {68, "(*--*)"}})};
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], expected[i] + "\r") << i;
  const int status = game.stop(SIGTERM);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

// Walk into the enemy and light a beam on its column: it loses a point a frame and vanishes.
TEST(GameExecutableTest, BeamOnTheEnemyTakesItsPointsUntilItVanishes) {
  GameProcess game("m" + std::string(33, 'd') + " ");
  const auto frames = game.readFrames(45);
  ASSERT_EQ(frames.size(), 45u);
  EXPECT_EQ(frames[0], lineWith({{30, "(>_>)"}, {70, "(*--*)"}}) + "\r");
  // The enemy, drawn last, covers the player it stands on.
  for (std::size_t i = 34; i <= 43; ++i) {
    EXPECT_EQ(frames[i], lineWith({{63, "(*--*)"}}) + "\r") << i;
  }
  EXPECT_EQ(frames[44], lineWith({{63, "(>_>)"}}) + "\r");
}

}  // namespace
}  // namespace oneline
