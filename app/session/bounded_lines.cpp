#include "bounded_lines.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

}  // namespace

std::optional<LineFault> read_lines(const ByteSource& source, const ReadLimits& limits,
                                    const LineTaker& take_line) {
  std::string line;  // the line being read, never longer than the limit
  std::int64_t number = 1;
  std::size_t total = 0;
  std::vector<char> chunk(kChunkBytes);
  const auto too_long = [&] {
    return LineFault{
        number, "expected a line of at most " + std::to_string(limits.longest_line) + " bytes"};
  };
  while (true) {
    // One byte past the limit is enough to refuse; nothing beyond it is ever asked for.
    const std::size_t wanted = std::min(chunk.size(), limits.most_bytes - total + 1);
    const std::ptrdiff_t got = source(chunk.data(), wanted);
    if (got < 0) return LineFault{number, std::string("cannot be read: ") + std::strerror(errno)};
    if (got == 0) break;
    const auto received = static_cast<std::size_t>(got);
    // The bytes within the limit are taken first: a fault among them is the first fault.
    const std::string_view within(chunk.data(), std::min(received, limits.most_bytes - total));
    std::size_t at = 0;
    while (at < within.size()) {
      const std::size_t end = std::min(within.find('\n', at), within.size());
      if (line.size() + (end - at) > limits.longest_line) return too_long();
      line.append(within, at, end - at);
      if (end == within.size()) break;
      if (auto fault = take_line(number, line)) return LineFault{number, std::move(*fault)};
      line.clear();
      ++number;
      at = end + 1;
    }
    total += received;
    if (total > limits.most_bytes) {
      return LineFault{
          number, "expected at most " + std::to_string(limits.most_bytes) + " bytes in the file"};
    }
  }
  if (!line.empty()) {
    if (auto fault = take_line(number, line)) return LineFault{number, std::move(*fault)};
  }
  return std::nullopt;
}
