#include "display/screen.hpp"

#include <gtest/gtest.h>

#include "support/scripted_console.hpp"

namespace oneline {
namespace {

using testing::lineWith;
using testing::ScriptedConsole;

class ScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { screen.clear(); }
  ScriptedConsole console;
  Screen screen{80, console};
};

TEST_F(ScreenTest, ClearedLinePrintsEightySpacesAndACarriageReturn) {
  screen.print();
  ASSERT_EQ(console.frames.size(), 1u);
  EXPECT_EQ(console.frames[0], std::string(80, ' ') + "\r");
  EXPECT_EQ(screen.getWidth(), 80);
}

TEST_F(ScreenTest, TextStartingOffTheLineIsLeftOutWhole) {
  screen.draw(-1, "(>_>)");
  screen.draw(80, "*");
  screen.draw(-2147483647 - 1, "*");
  screen.draw(2147483647, "*");
  EXPECT_EQ(screen.line(), lineWith({}));
}

TEST_F(ScreenTest, EdgeColumnsAreWritable) {
  screen.draw(0, "<");
  screen.draw(79, "*");
  EXPECT_EQ(screen.line(), lineWith({{0, "<"}, {79, "*"}}));
}

TEST_F(ScreenTest, EmptyOrNullTextWritesNothing) {
  screen.draw(10, "");
  screen.draw(10, nullptr);
  EXPECT_EQ(screen.line(), lineWith({}));
}

TEST_F(ScreenTest, LaterDrawCoversEarlierOne) {
  screen.draw(30, "(>_>)");
  screen.draw(28, "(*--*)");
  EXPECT_EQ(screen.line(), lineWith({{28, "(*--*)"}, {34, ")"}}));
}

TEST_F(ScreenTest, TextRunningPastTheLastColumnKeepsThePartThatFits) {
  screen.draw(77, "(>_>)");
  EXPECT_EQ(screen.line(), std::string(77, ' ') + "(>_");
  EXPECT_EQ(screen.line().size(), 80u);
}

TEST_F(ScreenTest, ClearRestoresSpacesAfterAnyDraws) {
  for (int column = -3; column < 83; ++column) screen.draw(column, "(*--*)");
  screen.clear();
  screen.print();
  EXPECT_EQ(console.frames.back(), std::string(80, ' ') + "\r");
}

TEST(ScreenWidthTest, LineKeepsItsOwnWidth) {
  ScriptedConsole console;
  Screen narrow(3, console);
  narrow.clear();
  narrow.draw(1, "(*--*)");
  narrow.print();
  EXPECT_EQ(console.frames.back(), " (*\r");
}

}  // namespace
}  // namespace oneline
