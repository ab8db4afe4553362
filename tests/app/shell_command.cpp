#include "shell_command.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

namespace {

int patience() {
  const char* factor = std::getenv("VELMAR_TEST_PATIENCE");
  const int value = factor != nullptr ? std::atoi(factor) : 1;
  return value >= 1 && value <= 100 ? value : 1;
}

}  // namespace

std::string shell_quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

CommandResult run_shell(const std::string& command, int seconds) {
  // timeout(1) ends the whole command, and -k kills whatever ignores the first signal. Leak
  // checks of a sanitizer build would report the X and GL libraries' own allocations.
  const std::string line =
      "timeout -k 5 " + std::to_string(seconds * patience()) + " /bin/sh -c " +
      shell_quoted("export ASAN_OPTIONS=\"$ASAN_OPTIONS:detect_leaks=0\"; " + command) +
      " 2>&1 </dev/null";
  CommandResult result;
  std::FILE* pipe = ::popen(line.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    result.output.append(buffer, n);
  }
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool on_path(const std::string& program) {
  return run_shell("command -v " + shell_quoted(program) + " >/dev/null").status == 0;
}
