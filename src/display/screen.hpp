#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "display/line_output.hpp"

namespace oneline {

// The game's whole picture: one line of `width` columns, cleared, drawn into and printed every
// frame. The storage is obtained once, here, and never per frame.
class Screen {
 public:
  Screen(std::int32_t width, LineOutput& out);

  // Fills the line with spaces and places the terminator.
  void clear();
  // Copies text (without its terminator) into the line from column on. A text that starts off
  // the line is left out whole; one that runs past the last column keeps the part that fits.
  void draw(std::int32_t column, const char* text);
  std::int32_t getWidth() const { return width; }
  // Prints the line up to its terminator, then a carriage return. Only valid after clear().
  void print() const;

  // The line as print() would write it, without the carriage return.
  std::string_view line() const { return cells.get(); }

 private:
  std::int32_t width;
  std::unique_ptr<char[]> cells;
  LineOutput& out;
};

}  // namespace oneline
