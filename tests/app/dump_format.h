// Checks one row of the field dump: exactly 128 values, each printed as "%f " (an optional
// minus, digits, a point, six digits, one space).
#pragma once

#include <cctype>
#include <string>

inline bool is_dump_row(const std::string& row) {
  int values = 0;
  std::size_t pos = 0;
  const auto digits = [&] {
    const std::size_t start = pos;
    while (pos < row.size() && std::isdigit(static_cast<unsigned char>(row[pos]))) ++pos;
    return pos - start;
  };
  while (pos < row.size()) {
    if (row[pos] == '-') ++pos;
    if (digits() == 0 || pos >= row.size() || row[pos++] != '.') return false;
    if (digits() != 6 || pos >= row.size() || row[pos++] != ' ') return false;
    ++values;
  }
  return values == 128;
}
