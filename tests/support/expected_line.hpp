#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace oneline::testing {

// An 80-column line of spaces with the given texts drawn at their columns, in order.
struct Placed {
  int column;
  std::string_view text;
};
inline std::string lineWith(std::initializer_list<Placed> placed, std::size_t width = 80) {
  std::string line(width, ' ');
  for (const Placed& p : placed) {
    for (std::size_t i = 0; i < p.text.size(); ++i) {
      const long column = p.column + static_cast<long>(i);
      if (p.column >= 0 && column < static_cast<long>(width)) line[column] = p.text[i];
    }
  }
  return line;
}

}  // namespace oneline::testing
