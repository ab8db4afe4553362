#include "status_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

namespace {

std::FILE* shown_on = nullptr;
std::size_t shown_width = 0;  // characters written on the line so far

std::size_t terminal_columns(std::FILE* terminal) {
  winsize size{};
  if (::ioctl(::fileno(terminal), TIOCGWINSZ, &size) == 0 && size.ws_col > 1) {
    return size.ws_col;
  }
  return 80;
}

}  // namespace

void show_status_line(std::FILE* terminal, const std::string& text) {
  // The last column stays free: a character there wraps the cursor on some terminals.
  const std::string fitted = text.substr(0, terminal_columns(terminal) - 1);
  const int blanks = static_cast<int>(shown_width - std::min(shown_width, fitted.size()));
  std::fprintf(terminal, "\r%s%*s", fitted.c_str(), blanks, "");
  std::fflush(terminal);
  shown_on = terminal;
  shown_width = std::max(shown_width, fitted.size());
}

void clear_status_line() {
  if (shown_on == nullptr) return;
  std::fprintf(shown_on, "\r%*s\r", static_cast<int>(shown_width), "");
  std::fflush(shown_on);
  shown_on = nullptr;
  shown_width = 0;
}
