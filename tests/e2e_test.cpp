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
  const auto frames = game.readFrames(6);
  ASSERT_EQ(frames.size(), 6u);
  const std::vector<std::string> expected = {lineWith({{31, "(>_>)"}}), lineWith({{32, "(>_>)"}}),
                                             lineWith({{32, "(>_>)"}}), lineWith({{31, "(<_<)"}}),
                                             lineWith({{31, "(<_<)"}}), lineWith({{31, "(<_<)"}})};
  for (std::size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(frames[i], expected[i] + "\r") << i;
  const int status = game.stop(SIGTERM);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

}  // namespace
}  // namespace oneline
