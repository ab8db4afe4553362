// About a minute of random input against the sanitizer build of the program in its own Xvfb:
// pointer moves and clicks inside and far outside the window, drags, every key the program
// knows and some it ignores, resizes from 1 x 1 up. The program must keep drawing throughout,
// end with status 0 on Escape, and leave no finding of the address, undefined-behaviour or leak
// sanitizers. Leaks of the X libraries and the renderer are suppressed by scripts/lsan.supp,
// which says for each what owns it; every module stays loaded to the end (test_support/
// keep_modules), so that the report names them. scripts/soak-input.sh does the same for longer
// runs.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "x_session.h"

using namespace std::chrono_literals;

namespace {

constexpr auto kInputTime = 45s;  // then Escape, and the leak check at exit
constexpr int kMostEvents = 4000;
constexpr int kEventsBetweenFrames = 20;

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The sanitizers' reports in `errors`: the lines from the first finding on.
std::string findings_in(const std::string& errors) {
  for (const char* mark : {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"}) {
    if (const std::size_t at = errors.find(mark); at != std::string::npos) return errors.substr(at);
  }
  return {};
}

class InputSoak : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir_template = std::filesystem::temp_directory_path() / "velmar-soak-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template.data()), nullptr);
    dir_ = dir_template;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // One random event, as a user might send it; a window resize waits until the server has it.
  void send_random_event(XClient& x, std::mt19937& random) {
    static const char kKeys[] = {'s', ' ', 'g', 'v', 'd', 'b', 'B', 'r',
                                 'c', 'f', 'o', '1', '2', 'x', 'q'};
    const auto in = [&](int lowest, int highest) {
      return lowest + static_cast<int>(random() % static_cast<unsigned>(highest - lowest + 1));
    };
    switch (in(0, 9)) {
      case 0:
      case 1:
      case 2:
        x.move_pointer(in(-200, 1400), in(-200, 1200));
        break;
      case 3:
      case 4:
        x.click(in(1, 3), in(0, 700), in(0, 700));
        break;
      case 5:  // a drag that may end far outside the window
        x.move_pointer(in(0, 600), in(0, 600));
        x.press_button(1);
        x.move_pointer(in(-500, 1500), in(-500, 1500));
        x.release_button(1);
        break;
      case 6:
      case 7:
        x.type(kKeys[in(0, sizeof kKeys - 1)]);
        break;
      default:
        EXPECT_TRUE(x.resize(in(1, 1200), in(1, 1000)));
        break;
    }
  }

  std::string dir_;
};

TEST_F(InputSoak, RandomInputEndsCleanWithNoSanitizerFinding) {
  XvfbServer xvfb;
  ASSERT_TRUE(xvfb.start(dir_ + "/xvfb.log"));
  const std::string errors = dir_ + "/stderr";
  ChildProcess program;
  // The 'c' dump goes to standard output: nowhere.
  ASSERT_TRUE(program.start(
      {VELMAR_PROGRAM},
      {"DISPLAY=" + xvfb.display_name(),
       // The preloaded module comes before the sanitizer's runtime, which it does not mind.
       "LD_PRELOAD=" VELMAR_KEEP_MODULES, "ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0",
       "LSAN_OPTIONS=suppressions=" VELMAR_LSAN_SUPPRESSIONS ":print_suppressions=0",
       "UBSAN_OPTIONS=print_stacktrace=1"},
      "/dev/null", errors));
  XClient x;
  ASSERT_TRUE(x.connect(xvfb.display_name()));
  ASSERT_TRUE(x.attach_to_window("Velmar Stable Fluids", 20s));

  std::mt19937 random(19);  // the same events every run; only their timing differs
  const auto start = std::chrono::steady_clock::now();
  int events = 0;
  int status = 0;
  while (events < kMostEvents && std::chrono::steady_clock::now() - start < kInputTime) {
    for (int k = 0; k < kEventsBetweenFrames; ++k, ++events) send_random_event(x, random);
    // Still alive, and still drawing: some frame after this input reaches the screen.
    const bool drawing = x.wait_for_frames(kFramesUntilShown, 60s);
    ASSERT_FALSE(program.wait_exit(0ms, &status)) << "ended after " << events << " events\n"
                                                  << read_file(errors);
    ASSERT_TRUE(drawing) << "no frame after " << events << " events";
  }
  ASSERT_TRUE(x.resize(512, 512));
  x.type_escape();
  // LeakSanitizer's scan at exit takes a few seconds, more on a busy machine.
  ASSERT_TRUE(program.wait_exit(120s, &status)) << "no end after Escape";
  const std::string report = read_file(errors);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << report;
  EXPECT_EQ(findings_in(report), "") << events << " events";
  std::printf("%d events in %.0f s of input\n", events,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

}  // namespace
