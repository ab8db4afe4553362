// Lines of a byte stream that may never end (a pipe, a device such as /dev/zero, a runaway
// generator), read with limits so that memory never grows with the input: a line longer than
// the limit, or more bytes in all than allowed, stops the reading as soon as it is seen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct ReadLimits {
  std::size_t longest_line;  // bytes, the newline not counted
  std::size_t most_bytes;    // in all
};

// Fills up to `capacity` bytes of `buffer` with what comes next and returns how many: 0 at the
// end, -1 with errno set when reading failed.
using ByteSource = std::function<std::ptrdiff_t(char* buffer, std::size_t capacity)>;

// Where reading stopped and why: LINE counts from 1.
struct LineFault {
  std::int64_t line;
  std::string what;
};

// A line's fault, or nothing when the line is accepted.
using LineTaker =
    std::function<std::optional<std::string>(std::int64_t number, std::string_view line)>;

// Hands each line of `source`, without its newline, to `take_line` in order, up to the first
// fault: one `take_line` returns, a line over the limit, a byte past the limit in all, or a
// failed read ("cannot be read: REASON"). Never asks `source` for more than one byte past
// `limits.most_bytes` in all, and holds at most one line of `limits.longest_line` bytes.
std::optional<LineFault> read_lines(const ByteSource& source, const ReadLimits& limits,
                                    const LineTaker& take_line);
