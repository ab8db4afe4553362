// What the command-line parser wrote into a temporary stream, read back for a test.
#pragma once

#include <cstdio>
#include <string>

// Everything written to `file` so far; closes it.
inline std::string read_all(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}
