// Console services for a web page (Emscripten): keys from the page's queue, the line into the
// page's line element, and a pause that gives the page its turn. The page is web_page.html.
#include <emscripten.h>

#include "platform/console.hpp"

// The page keeps the keys typed or tapped, oldest first; -1 when none waits.
EM_JS(int, takePageKey, (), { return Module.takeKey(); });

// The line's bytes become the text of the page's line element, one character each.
EM_JS(void, showPageLine, (const char* text, int size),
      { Module.showLine(HEAPU8.subarray(text, text + size)); });

namespace oneline {
namespace {

class WebConsole final : public Console {
 public:
  bool keyWaiting() override {
    waitingKey = takePageKey();
    return waitingKey >= 0;
  }

  int readKey() override { return waitingKey; }

  // Unwinds to the browser's event loop (ASYNCIFY), which draws the line and delivers the keys,
  // and comes back into the frame loop where it left.
  void pause(int milliseconds) override { emscripten_sleep(static_cast<unsigned>(milliseconds)); }

  void printLine(std::string_view text) override {
    showPageLine(text.data(), static_cast<int>(text.size()));
  }

 private:
  int waitingKey = -1;
};

}  // namespace

Console& systemConsole() {
  static WebConsole console;
  return console;
}

}  // namespace oneline
