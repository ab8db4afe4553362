// Runs a shell command line to its end, or to a deadline, for tests of the program as a user
// runs it: from a shell, under make, xvfb-run or a terminal.
#pragma once

#include <string>

struct CommandResult {
  int status = -1;     // the exit status; 124 when the deadline ended it, -1 when it could not run
  std::string output;  // standard output and standard error, interleaved as written
};

// Runs `command` with /bin/sh, without leak checks in a sanitizer build. After `seconds`
// (stretched by VELMAR_TEST_PATIENCE in slow builds) it is ended and the status is 124.
CommandResult run_shell(const std::string& command, int seconds = 60);

// `text` as one shell word.
std::string shell_quoted(const std::string& text);

// Whether `program` is on the PATH.
bool on_path(const std::string& program);
