// The program refuses a recording that never ends, or is far too large, before its memory grows
// with it: a device, a named pipe fed forever, a huge file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "x_session.h"

using namespace std::chrono_literals;

namespace {

class BoundedInput : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir_template = std::filesystem::temp_directory_path() / "velmar-bounded-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template.data()), nullptr);
    dir_ = dir_template;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  struct Run {
    int status = -1;  // exit status, -1 when killed or hung
    std::string output;
    long peak_kib = 0;
  };

  Run replay(const std::string& recording) {
    Run run;
    ChildProcess program;
    const std::string output = dir_ + "/output";
    int status = 0;
    // Memory the address sanitizer keeps back after it was freed is not the program's.
    const char* options = std::getenv("ASAN_OPTIONS");
    const std::string asan_options = std::string("ASAN_OPTIONS=") +
                                     (options != nullptr ? options : "") + ":quarantine_size_mb=0";
    if (!program.start({VELMAR_PROGRAM, "--headless", "--replay", recording}, {asan_options},
                       output, output) ||
        !program.wait_exit(60s, &status, &run.peak_kib)) {
      return run;
    }
    std::ifstream in(output);
    std::stringstream text;
    text << in.rdbuf();
    run.output = text.str();
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }

  std::string dir_;
};

TEST_F(BoundedInput, EndlessOrHugeRecordingsAreRefusedWithBoundedMemory) {
  const std::string small = dir_ + "/small.rec";
  std::ofstream(small) << "velmar-recording 1\n3 mouse 2 0 100 100\n";
  const Run baseline = replay(small);
  ASSERT_EQ(baseline.status, 0) << baseline.output;

  const std::string sparse = dir_ + "/sparse.rec";  // 2 GB of zeros, no disk space
  std::ofstream(sparse).close();
  std::filesystem::resize_file(sparse, std::uintmax_t{2} << 30);
  const std::string fifo = dir_ + "/fifo.rec";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Feeds the named pipe forever, until nobody reads it; the shell, not the test, waits for
  // the reader to open it.
  ChildProcess writer;
  ASSERT_TRUE(writer.start(
      {"/bin/sh", "-c", "{ echo velmar-recording 1; exec yes '0 motion 1 2'; } > \"$0\"", fifo}, {},
      dir_ + "/writer.out"));

  const long mib = 1024;
  const struct {
    std::string recording;
    std::string refusal;
    long most_extra_kib;  // over the small recording's peak
  } cases[] = {
      {"/dev/zero", "/dev/zero:1: expected a line of at most 4096 bytes", 16 * mib},
      {sparse, sparse + ":1: expected a line of at most 4096 bytes", 16 * mib},
      // 16 MiB of the shortest events, 1.3 million, are held before the refusal: 84 MB.
      {fifo, fifo + ":1290555: expected at most 16777216 bytes in the file", 128 * mib},
  };
  for (const auto& [recording, refusal, most_extra_kib] : cases) {
    SCOPED_TRACE(recording);
    const Run run = replay(recording);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, refusal + "\n");
    EXPECT_LE(run.peak_kib, baseline.peak_kib + most_extra_kib);
  }
}

}  // namespace
