#include "display/screen.hpp"

#include <cstring>

namespace oneline {

// Left uninitialised until the first clear, which every frame starts with.
Screen::Screen(std::int32_t width, LineOutput& out)
    : width(width), cells(new char[static_cast<std::size_t>(width) + 1]), out(out) {}

void Screen::clear() {
  std::memset(cells.get(), ' ', static_cast<std::size_t>(width));
  cells[width] = '\0';
}

void Screen::draw(std::int32_t column, const char* text) {
  if (text == nullptr || column < 0 || column >= width) return;
  for (std::int32_t i = column; i < width && *text != '\0'; ++i, ++text) cells[i] = *text;
}

void Screen::print() const { out.printLine(line()); }

}  // namespace oneline
