// A recording is read with limits: a line, and the whole file. Input that never ends (a device,
// a pipe fed forever, a runaway generator) is refused once reading passes them, having read no
// more than one byte past the limit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <variant>

#include "recording_format.h"

namespace {

const std::string kHeader = "velmar-recording 1\n";

std::string outcome(const ParsedRecording& parsed) {
  if (const auto* fault = std::get_if<std::string>(&parsed)) return *fault;
  return "(accepted " + std::to_string(std::get<Recording>(parsed).events.size()) +
         " events)";
}

// A comment line of exactly `bytes` bytes before its newline.
std::string comment_of(std::size_t bytes) {
  std::string line(bytes, 'x');
  line.front() = '#';
  return line + '\n';
}

TEST(RecordingLimits, ALineOrAFileOverItsLimitIsRefusedAtTheLineWhereReadingStopped) {
  // The program's own limits: 4096 bytes a line, 16 MiB in all.
  const std::string event = "3 key 32 0 0\n";
  const std::size_t mib16 = 16 * 1024 * 1024;
  const std::string three_lines = kHeader + event + comment_of(4096);
  const std::string filler = comment_of(1023);  // 1 KiB with its newline
  std::string full = kHeader;
  while (full.size() + filler.size() <= mib16) full += filler;
  full += std::string(mib16 - full.size() - 1, '#') + "\n";
  ASSERT_EQ(full.size(), mib16);
  const auto lines_of = [](const std::string& text) {
    return std::to_string(std::count(text.begin(), text.end(), '\n'));
  };
  const struct {
    std::string text;
    std::string outcome;
  } cases[] = {
      {three_lines, "(accepted 1 events)"},
      {kHeader + event + comment_of(4097) + event, "t:3: expected a line of at most 4096 bytes"},
      {kHeader + std::string(5000, 'x'), "t:2: expected a line of at most 4096 bytes"},
      {full, "(accepted 0 events)"},
      // One byte more: on a line of its own, or at the end of the last one.
      {full + event,
       "t:" + lines_of(full + "\n") + ": expected at most 16777216 bytes in the file"},
      {full.substr(0, mib16 - 1) + "##\n",
       "t:" + lines_of(full) + ": expected at most 16777216 bytes in the file"},
      // A fault before the limit is the first fault.
      {kHeader + "4 jump\n" + full, "t:2: expected key, mouse, motion or reshape, found \"jump\""},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    EXPECT_EQ(outcome(parse_recording(text, "t")), expected);
  }
}

// A source that repeats `pattern` forever and counts what it hands out; it ends after far more
// than any limit, so that a reader that ignores the limits fails here instead of hanging.
struct EndlessSource {
  std::string pattern;
  std::size_t handed_out = 0;
  std::size_t given_up_after = 4 * kRecordingLimits.most_bytes;

  std::ptrdiff_t operator()(char* buffer, std::size_t capacity) {
    if (handed_out >= given_up_after) return 0;
    for (std::size_t k = 0; k < capacity; ++k) {
      buffer[k] = pattern[(handed_out + k) % pattern.size()];
    }
    handed_out += capacity;
    return static_cast<std::ptrdiff_t>(capacity);
  }
};

TEST(RecordingLimits, EndlessInputIsRefusedHavingReadAtMostOneBytePastTheLimit) {
  const ReadLimits limits = kRecordingLimits;
  const struct {
    std::string name;
    std::string first;  // what comes before the endless part
    std::string endless;
    std::string outcome;
  } cases[] = {
      {"zeros", "", std::string(1, '\0'), "zeros:1: expected a line of at most 4096 bytes"},
      {"generator", kHeader, "7 motion 100 200\n",
       "generator:986895: expected at most 16777216 bytes in the file"},
      {"blank lines", kHeader, "\n",
       "blank lines:16777199: expected at most 16777216 bytes in the file"},
  };
  for (const auto& [name, first, endless, expected] : cases) {
    SCOPED_TRACE(name);
    EndlessSource source{.pattern = endless};
    bool first_sent = first.empty();
    const ByteSource delivered = [&](char* buffer, std::size_t capacity) -> std::ptrdiff_t {
      if (first_sent) return source(buffer, capacity);
      first_sent = true;
      std::memcpy(buffer, first.data(), first.size());  // far below any read's capacity
      return static_cast<std::ptrdiff_t>(first.size());
    };
    EXPECT_EQ(outcome(read_recording_from(delivered, name, limits)), expected);
    EXPECT_LE(first.size() + source.handed_out, limits.most_bytes + 1);
  }
}

TEST(RecordingLimits, DevicesPipesAndHugeFilesAreRefusedWithoutReadingThemWhole) {
  EXPECT_EQ(outcome(read_recording("/dev/zero")),
            "/dev/zero:1: expected a line of at most 4096 bytes");

  // 2 GB of zeros, sparse on disk: refused at its first line, whatever its size says.
  char sparse_template[] = "/tmp/velmar-sparse-XXXXXX";
  const int sparse = mkstemp(sparse_template);
  ASSERT_GE(sparse, 0);
  const bool sized = ftruncate(sparse, off_t{2} << 30) == 0;
  close(sparse);
  if (sized) {
    EXPECT_EQ(outcome(read_recording(sparse_template)),
              std::string(sparse_template) + ":1: expected a line of at most 4096 bytes");
  }
  std::filesystem::remove(sparse_template);
  EXPECT_TRUE(sized);

  // A pipe whose writer never stops, opened by name as a FIFO would be.
  signal(SIGPIPE, SIG_IGN);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::thread writer([write_end = ends[1]] {
    const std::string line = "0 motion 1 2\n";
    if (write(write_end, kHeader.data(), kHeader.size()) < 0) return;
    while (write(write_end, line.data(), line.size()) > 0) {
    }
    close(write_end);
  });
  const std::string path = "/proc/self/fd/" + std::to_string(ends[0]);
  const std::string refused = outcome(read_recording(path));
  close(ends[0]);  // the writer's next write fails, and it stops
  writer.join();
  EXPECT_EQ(refused, path + ":1290555: expected at most 16777216 bytes in the file");
}

}  // namespace
