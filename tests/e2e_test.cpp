#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "app/game.hpp"
#include "support/expected_line.hpp"
#include "support/game_process.hpp"
#include "support/scripted_console.hpp"

namespace oneline {
namespace {

using namespace std::chrono_literals;
using testing::GameProcess;
using testing::lineWith;

// The frames the rules give for keys read one a frame, no key before the first.
std::vector<std::string> expectedFrames(const std::string& keys, int count) {
  testing::ScriptedConsole console(keys);
  Game expected(console);
  for (int i = 0; i < count; ++i) expected.runFrame(console);
  return console.frames;
}

// From a file, and from a pipe whose writer has gone before the game reads: the keys still in
// the pipe are keys all the same.
TEST(GameExecutableTest, PlaysKeysFromAFileOrAPipeOneKeyPerFrameThenRunsOn) {
  for (bool keysFromPipe : {false, true}) {
    GameProcess game(testing::GameOptions{.keys = "ddxa m ", .keysFromPipe = keysFromPipe});
    const auto frames = game.readFrames(12);
    EXPECT_EQ(frames, expectedFrames("ddxa m ", 12)) << (keysFromPipe ? "pipe" : "file");
    const int status = game.stop(SIGTERM);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
  }
}

TEST(GameExecutableTest, FramesAreNeverCloserThanThePause) {
  // A pause never ends early, not even when signals keep arriving (a window being resized): in
  // two seconds from its start the game prints at most 1 + 2000 / 66 frames.
  GameProcess game("");
  std::vector<std::string> frames;
  const auto end = std::chrono::steady_clock::now() + 2s;
  while (std::chrono::steady_clock::now() < end) {
    game.signal(SIGCONT);
    for (std::string& frame : game.readFrames(1000, 20ms)) frames.push_back(std::move(frame));
  }
  EXPECT_GE(frames.size(), 1u);
  EXPECT_LE(frames.size(), 31u);
}

// Output backed up (a slow link): every write of a frame waits, asleep. Neither a signal during
// the wait nor output left non-blocking by whoever opened it may cost a frame or end the game,
// and the game must wake for the drain itself, with no signal just before it.
TEST(GameExecutableTest, FramesWaitForBackedUpOutput) {
  for (bool nonBlocking : {false, true}) {
    GameProcess game(testing::GameOptions{.backlog = 4050, .nonBlockingOutput = nonBlocking});
    std::this_thread::sleep_for(100ms);
    const auto before = game.cpuTime();
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(50ms);
      game.signal(SIGCONT);
    }
    std::this_thread::sleep_for(300ms);
    const auto stalled = game.cpuTime() - before;
    if (before.count() >= 0) {
      EXPECT_LT(stalled, 100ms) << nonBlocking;
    }
    EXPECT_EQ(game.readFrames(8, 5s), expectedFrames("", 8)) << nonBlocking;
    const int status = game.stop(SIGTERM);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << nonBlocking;
  }
}

#ifdef ONELINE_FLAKY_IO
// Every write of a frame cut short, every other read of a key refused for now: the frames stay
// whole and every key acts, one frame later than it would have.
TEST(GameExecutableTest, ShortWritesAndRefusedReadsLoseNothing) {
  const std::string keys = "ddd a";
  GameProcess game(keys, ONELINE_FLAKY_IO);
  std::string late;
  for (char key : keys) late += std::string(1, '\0') + key;
  EXPECT_EQ(game.readFrames(12), expectedFrames(late, 12));
}
#endif

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

TEST(GameExecutableTest, OutputThatCannotBeWrittenEndsTheGameWithStatus1AndSaysWhy) {
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  const testing::Ending onFullDisk = testing::runUntilItEnds(full);
  close(full);
  EXPECT_TRUE(WIFEXITED(onFullDisk.status) && WEXITSTATUS(onFullDisk.status) == 1);
  EXPECT_EQ(onFullDisk.errors,
            "oneline: cannot write to standard output: No space left on device\n");

  const testing::Ending closed = testing::runUntilItEnds(-1);
  EXPECT_TRUE(WIFEXITED(closed.status) && WEXITSTATUS(closed.status) == 1);
  EXPECT_EQ(closed.errors, "oneline: cannot write to standard output: Bad file descriptor\n");

  // A reader that went away is no error to report, with SIGPIPE ignored as without.
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  const testing::Ending readerGone = testing::runUntilItEnds(ends[1], true);
  close(ends[1]);
  EXPECT_TRUE(WIFEXITED(readerGone.status) && WEXITSTATUS(readerGone.status) == 1);
  EXPECT_EQ(readerGone.errors, "");
}

// Every byte value through the real input path, compared frame by frame with the rules run
// directly: raw bytes act exactly as the key table says, and the input's end changes nothing.
TEST(GameExecutableTest, EveryByteValueActsByTheKeyTable) {
  // Each value in turn, with a bound key after every eighth so that shots, beams, walks and the
  // enemy's end all happen along the way.
  const std::string bound = "m d  ad ";
  std::string keys;
  for (int value = 0; value < 256; ++value) {
    keys += static_cast<char>(value);
    if (value % 8 == 7) keys += bound[(value / 8) % bound.size()];
  }
  constexpr int kFrames = 296;
  GameProcess game(keys);
  const auto frames = game.readFrames(kFrames, std::chrono::seconds(40));
  const auto expected = expectedFrames(keys, kFrames);
  ASSERT_EQ(frames.size(), expected.size());
  for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(frames[i], expected[i]) << i;
}

}  // namespace
}  // namespace oneline
