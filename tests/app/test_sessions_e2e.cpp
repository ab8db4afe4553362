// Sessions kept and played again: a real window session recorded, then replayed headless and in
// the window to the same fields; headless pictures against what the window shows; and the
// faults a session must refuse before it runs or end cleanly when a write fails.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "x_session.h"

using namespace std::chrono_literals;

namespace {

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path) << text; }

// The "checksum ..." line of an output, or empty.
std::string checksum_line(const std::string& output) {
  const std::size_t at = output.find("checksum ");
  return at == std::string::npos ? "" : output.substr(at, output.find('\n', at) - at);
}

std::string no_leak_checks() {
  const char* options = std::getenv("ASAN_OPTIONS");
  return std::string("ASAN_OPTIONS=") + (options != nullptr ? options : "") + ":detect_leaks=0";
}

// Reads an 8-bit RGB PNG into a capture.
Capture read_png(const std::string& path) {
  Capture picture;
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return picture;
  picture.width = static_cast<int>(image.width);
  picture.height = static_cast<int>(image.height);
  for (std::size_t k = 0; k + 2 < rgb.size(); k += 3) {
    picture.pixels.push_back(rgb[k] << 16 | rgb[k + 1] << 8 | rgb[k + 2]);
  }
  return picture;
}

// A burst, a drag, an obstacle wall, a resize and a pause: the fields then stay as they are.
const std::string kHandWritten = R"(velmar-recording 1
# written by hand
0 reshape 512 512
1 mouse 2 0 200 300
1 mouse 2 1 200 300
2 mouse 0 0 100 100
3 motion 118 104
4 motion 140 112
4 mouse 0 1 140 112
5 key 66 0 0
5 mouse 0 0 300 260
6 motion 300 270
7 motion 300 280
7 mouse 0 1 300 280
8 key 66 0 0
9 key 102 0 0
11 reshape 600 400
13 mouse 2 0 420 100
13 mouse 2 1 420 100
15 key 115 0 0
)";

class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir_template = (std::filesystem::temp_directory_path() / "velmar-session-XXXXXX");
    ASSERT_NE(mkdtemp(dir_template.data()), nullptr);
    dir_ = dir_template;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  // Runs the program to its end with `arguments`; returns its exit status, or -1 if it was
  // killed or hung. Standard output and error go to `output`.
  int run(std::vector<std::string> arguments, std::string& output,
          const std::vector<std::string>& env = {}) {
    arguments.insert(arguments.begin(), VELMAR_PROGRAM);
    return run_command(arguments, output, env);
  }

  int run_command(const std::vector<std::string>& argv, std::string& output,
                  std::vector<std::string> env = {}) {
    env.push_back(no_leak_checks());
    ChildProcess child;
    const std::string path = dir_ + "/output";
    int status = 0;
    if (!child.start(argv, env, path, path) || !child.wait_exit(60s, &status)) return -1;
    output = read_file(path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  bool start_xvfb() { return xvfb_.start(dir_ + "/xvfb.log"); }
  std::string display_env() const { return "DISPLAY=" + xvfb_.display_name(); }

  std::string dir_;
  XvfbServer xvfb_;
};

TEST_F(Session, ARecordedWindowSessionReplaysToTheSameFieldsHeadlessAndInTheWindow) {
  ASSERT_TRUE(start_xvfb());
  const std::string recording = dir_ + "/live.rec";
  ChildProcess program;
  ASSERT_TRUE(program.start({VELMAR_PROGRAM, "--record", recording, "--checksum"},
                            {display_env(), no_leak_checks()}, dir_ + "/live.out",
                            dir_ + "/live.out"));
  XClient x;
  ASSERT_TRUE(x.connect(xvfb_.display_name()));
  ASSERT_TRUE(x.attach_to_window("Velmar Stable Fluids", 10s));
  x.click(3, 200, 300);
  x.click(3, 330, 120);
  // Frames pass between groups of input, so that the replays must place each event exactly.
  ASSERT_TRUE(x.wait_for_frames(kFramesUntilShown));
  x.move_pointer(100, 100);
  x.press_button(1);
  for (int step = 1; step <= 12; ++step) x.move_pointer(100 + 6 * step, 100 + 2 * step);
  x.release_button(1);
  x.type('B');
  x.move_pointer(260, 250);
  x.press_button(1);
  for (int step = 1; step <= 10; ++step) x.move_pointer(260, 250 + 4 * step);
  x.release_button(1);
  x.type('B');
  ASSERT_TRUE(x.wait_for_frames(kFramesUntilShown));
  x.type('s');
  x.type(' ');
  x.click(3, 60, 60);
  x.type(' ');
  ASSERT_TRUE(x.wait_for_frames(kFramesUntilShown));
  x.type('s');
  ASSERT_TRUE(x.resize(600, 400));
  x.click(3, 500, 200);
  ASSERT_TRUE(x.wait_for_frames(kFramesUntilShown));
  x.type('r');
  x.click(3, 250, 250);
  ASSERT_TRUE(x.wait_for_frames(kFramesUntilShown));
  x.type_escape();
  int status = 0;
  ASSERT_TRUE(program.wait_exit(20s, &status));
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  const std::string live = checksum_line(read_file(dir_ + "/live.out"));
  ASSERT_EQ(live.size(), std::string("checksum ").size() + 16) << live;
  const std::string text = read_file(recording);
  ASSERT_EQ(text.rfind("velmar-recording 1\n0 reshape 512 512\n", 0), 0u) << text;
  EXPECT_NE(text.find(" reshape 600 400\n"), std::string::npos) << text;

  std::string output;
  EXPECT_EQ(run({"--headless", "--replay", recording, "--checksum"}, output), 0) << output;
  EXPECT_EQ(checksum_line(output), live) << "headless replay";
  EXPECT_EQ(run({"--replay", recording, "--checksum"}, output, {display_env()}), 0) << output;
  EXPECT_EQ(checksum_line(output), live) << "replay in the window";
}

TEST_F(Session, AHandWrittenRecordingReplaysToTheSameFieldsEveryTime) {
  write_file(dir_ + "/hand.rec", kHandWritten);
  std::string first, second, longer;
  ASSERT_EQ(run({"--headless", "--replay", dir_ + "/hand.rec", "--checksum"}, first), 0) << first;
  ASSERT_EQ(run({"--headless", "--replay", dir_ + "/hand.rec", "--checksum"}, second), 0);
  ASSERT_FALSE(checksum_line(first).empty()) << first;
  EXPECT_EQ(checksum_line(first), checksum_line(second));
  // Paused at the last event: more frames change nothing.
  ASSERT_EQ(run({"--headless", "--replay", dir_ + "/hand.rec", "--frames=90", "--checksum"},
                longer), 0);
  EXPECT_EQ(checksum_line(longer), checksum_line(first));
}

// Settings other than the defaults travel with a recording: its replay needs no options,
// headless or in the window, options may repeat them, and options that contradict them are
// refused before anything runs or is recorded.
TEST_F(Session, ARecordingMadeWithSettingsReplaysWithThemAlone) {
  ASSERT_TRUE(start_xvfb());
  const std::string hand = dir_ + "/hand.rec", take = dir_ + "/take.rec";
  write_file(hand, kHandWritten + "20 key 27 0 0\n");
  std::string made, plain;
  ASSERT_EQ(run({"--headless", "--replay", hand, "--grid=254", "--dt=0.1", "--visc=0.001",
                 "--record", take, "--checksum"}, made), 0) << made;
  ASSERT_EQ(run({"--headless", "--replay", hand, "--checksum"}, plain), 0) << plain;
  ASSERT_NE(checksum_line(made), checksum_line(plain)) << "the settings change the fields";
  const std::string text = read_file(take);
  EXPECT_EQ(text.rfind("velmar-recording 1\n#velmar-settings grid 254 dt 0.1 diff 0.5 visc 0.001\n"
                       "0 reshape 512 512\n", 0), 0u) << text;

  const struct {
    std::vector<std::string> arguments;
    std::vector<std::string> env;
  } replays[] = {
      {{"--headless", "--replay", take, "--checksum"}, {}},
      {{"--replay", take, "--checksum"}, {display_env()}},
      {{"--headless", "--replay", take, "--grid", "254", "--dt=0.1", "--checksum"}, {}},
  };
  for (const auto& [arguments, env] : replays) {
    SCOPED_TRACE(arguments.front());
    std::string replayed;
    EXPECT_EQ(run(arguments, replayed, env), 0) << replayed;
    EXPECT_EQ(checksum_line(replayed), checksum_line(made));
  }
  std::string refused;
  EXPECT_EQ(run({"--headless", "--replay", take, "--grid=126", "--record", dir_ + "/new.rec"},
                refused), 2);
  EXPECT_EQ(refused, "velmar_stable_fluids: --grid 126 contradicts the recording " + take +
                         ", made with grid 254\n");
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/new.rec")) << "nothing ran, nothing recorded";
}

// In every drawing: the smooth one's pictures are its own, not the squares of the others.
TEST_F(Session, AHeadlessPictureIsWhatTheWindowShows) {
  ASSERT_TRUE(start_xvfb());
  write_file(dir_ + "/hand.rec", kHandWritten);
  std::vector<Capture> headless_pictures;
  for (const std::string drawing : {"cells", "smooth"}) {
    SCOPED_TRACE(drawing);
    const std::string pictures = dir_ + "/" + drawing;
    std::string output;
    // No X display at all for the headless run.
    ASSERT_EQ(run({"--headless", "--draw=" + drawing, "--replay", dir_ + "/hand.rec",
                   "--frames=16", "--png", pictures + "-headless", "--every=16"},
                  output, {"DISPLAY="}), 0) << output;
    const Capture headless = read_png(pictures + "-headless/frame-000001.png");
    ASSERT_EQ(headless.width, 600);
    ASSERT_EQ(headless.height, 400);

    ChildProcess program;
    ASSERT_TRUE(program.start({VELMAR_PROGRAM, "--draw=" + drawing, "--replay",
                               dir_ + "/hand.rec", "--png", pictures + "-window", "--every=16"},
                              {display_env(), no_leak_checks()}, pictures + "-window.out",
                              pictures + "-window.out"));
    XClient x;
    ASSERT_TRUE(x.connect(xvfb_.display_name()));
    ASSERT_TRUE(x.attach_to_window("Velmar Stable Fluids", 10s));
    // The picture of frame 16 is read back before that frame is shown; from then on the replay
    // is paused and every frame is the same.
    ASSERT_TRUE(wait_until(
        [&] { return std::filesystem::exists(pictures + "-window/frame-000001.png"); }, 20s));
    ASSERT_TRUE(x.wait_for_frames(kFramesUntilShown));
    const Capture shown = x.capture();
    EXPECT_TRUE(shown == headless) << "window " << shown.width << " x " << shown.height;
    EXPECT_TRUE(read_png(pictures + "-window/frame-000001.png") == headless);
    EXPECT_GT(headless.count(0x000000), 0);
    headless_pictures.push_back(headless);
    x.type_escape();
    ASSERT_TRUE(program.wait_exit(10s, nullptr));
  }
  EXPECT_GT(headless_pictures[0].count(0x0000FF), 0) << "the obstacle wall";
  EXPECT_FALSE(headless_pictures[0] == headless_pictures[1]);
}

// -geometry WxH sets the headless window's starting size, as a recorded reshape would.
TEST_F(Session, AHeadlessRunStartsAtTheSizeThatGeometryGives) {
  std::string output;
  ASSERT_EQ(run({"--headless", "--frames=1", "--png", dir_ + "/pictures", "-geometry",
                 "300x200+10+10"}, output, {"DISPLAY="}), 0) << output;
  const Capture picture = read_png(dir_ + "/pictures/frame-000001.png");
  EXPECT_EQ(picture.width, 300);
  EXPECT_EQ(picture.height, 200);
}

TEST_F(Session, FaultsStopTheSessionBeforeItRunsAndLeaveFilesAlone) {
  write_file(dir_ + "/hand.rec", kHandWritten);
  write_file(dir_ + "/bad.rec", "velmar-recording 1\n0 key 32 0 0\n4 jump 1 2\n");
  write_file(dir_ + "/kept.rec", "precious\n");
  write_file(dir_ + "/plain-file", "");
  const std::string hand = dir_ + "/hand.rec";
  const struct {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{"--headless", "--replay", dir_ + "/bad.rec", "--record", dir_ + "/new.rec"},
       dir_ + "/bad.rec:3: expected key, mouse, motion or reshape, found \"jump\""},
      {{"--headless", "--replay", dir_ + "/none.rec"}, dir_ + "/none.rec:1: cannot be read"},
      {{"--headless", "--replay", hand, "--record", dir_ + "/kept.rec"},
       "the file exists; add --overwrite"},
      {{"--headless", "--replay", hand, "--record", dir_ + "/no/such/dir.rec"},
       "No such file or directory"},
      {{"--headless", "--replay", hand, "--png", dir_ + "/plain-file/pics"}, "--png"},
      {{"--headless", "--replay", hand, "--png", "/proc/velmar-pics"}, "--png /proc/velmar-pics"},
  };
  for (const auto& [arguments, message] : cases) {
    SCOPED_TRACE(message);
    std::string output;
    EXPECT_EQ(run(arguments, output), 2);
    EXPECT_NE(output.find(message), std::string::npos) << output;
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << output;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/new.rec")) << "nothing ran, nothing recorded";
  std::string output;
  // Paths are checked before the display: status 2 without one too.
  for (const std::string& path : {dir_ + "/no/such/dir.rec", dir_ + "/kept.rec"}) {
    EXPECT_EQ(run({"--record", path}, output, {"DISPLAY="}), 2) << output;
  }
  EXPECT_EQ(run({"--png", "/proc/velmar-pics"}, output, {"DISPLAY="}), 2) << output;
  EXPECT_EQ(run({"--record", dir_ + "/window.rec", "--png", dir_ + "/new/pics"}, output,
                {"DISPLAY="}), 1);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/new")) << "the picture folder taken back";
  EXPECT_NE(output.find("cannot open an X display (DISPLAY=)"), std::string::npos) << output;
  EXPECT_NE(output.find("xvfb-run"), std::string::npos) << output;
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/window.rec"));
  EXPECT_EQ(read_file(dir_ + "/kept.rec"), "precious\n");
}

TEST_F(Session, AFailedWriteEndsTheSessionWithTheRecordingReadableUpToThere) {
  std::string many = kHandWritten;
  for (int k = 0; k < 300; ++k) many += "16 motion " + std::to_string(k) + " 100\n";
  write_file(dir_ + "/many.rec", many);
  const std::string copy = dir_ + "/copy.rec";
  // The file may grow to one block (512 or 1024 bytes); past that a write fails as on a
  // full disk.
  std::string output;
  const std::string command = "trap '' XFSZ; ulimit -f 1; exec \"$0\" \"$@\"";
  ASSERT_EQ(run_command({"/bin/sh", "-c", command, VELMAR_PROGRAM, "--headless", "--replay",
                         dir_ + "/many.rec", "--record", copy, "--checksum"}, output), 1)
      << output;
  EXPECT_NE(output.find("writing the recording " + copy + " failed"), std::string::npos);
  EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 1) << "no checksum either: " << output;
  const std::string kept = read_file(copy);
  EXPECT_EQ(kept.back(), '\n') << "only whole lines";
  std::string replayed;
  EXPECT_EQ(run({"--headless", "--replay", copy}, replayed), 0) << replayed;
}

}  // namespace

// Recorded window sizes the window system cannot give, or gives only later: the replay in the
// window must reach its recorded Escape with the headless replay's fields, and draw again
// once the window is back to a size it can have.
struct OddSize {
  int width;
  int height;
};

class ReplayedWindowSize : public Session, public ::testing::WithParamInterface<OddSize> {};

TEST_P(ReplayedWindowSize, EndsAtTheRecordedEscapeAndDrawsAgainAfterIt) {
  ASSERT_TRUE(start_xvfb());
  const auto [width, height] = GetParam();
  write_file(dir_ + "/size.rec", "velmar-recording 1\n4 reshape " + std::to_string(width) + " " +
                                     std::to_string(height) + "\n15 reshape 512 512\n" +
                                     "16 mouse 2 0 200 200\n30 key 27 0 0\n");
  std::string headless, pictured, window;
  ASSERT_EQ(run({"--headless", "--replay", dir_ + "/size.rec", "--checksum"}, headless), 0)
      << headless;
  // Off screen nothing is drawn beyond the picture limit, and drawing resumes after it.
  ASSERT_EQ(run({"--headless", "--replay", dir_ + "/size.rec", "--checksum", "--png",
                 dir_ + "/offscreen"}, pictured, {"DISPLAY="}), 0) << pictured;
  EXPECT_EQ(checksum_line(pictured), checksum_line(headless));
  EXPECT_LE(std::count(pictured.begin(), pictured.end(), '\n'), 2) << pictured;
  EXPECT_EQ(run({"--replay", dir_ + "/size.rec", "--checksum", "--png", dir_ + "/pictures"},
                window, {display_env()}),
            0)
      << window;
  EXPECT_EQ(checksum_line(window), checksum_line(headless));
  // Narrower than the default grid's 126 cells: no cell has a pixel, and both runs say so.
  for (const std::string* output : {&pictured, &window}) {
    EXPECT_EQ(output->find("narrower than one pixel a cell") != std::string::npos, width < 126)
        << *output;
  }
  // The burst, in the picture of the last frame before Escape, read back from the window and
  // drawn off screen alike.
  const Capture last = read_png(dir_ + "/pictures/frame-000030.png");
  EXPECT_EQ(last.width, 512);
  EXPECT_EQ(last.height, 512);
  EXPECT_GT(last.pixels.size() - last.count(0x000000), 0u) << "nothing drawn after the shrink";
  EXPECT_TRUE(read_png(dir_ + "/offscreen/frame-000030.png") == last);
}

INSTANTIATE_TEST_SUITE_P(
    OddSizes, ReplayedWindowSize,
    ::testing::Values(OddSize{32767, 32767},            // shrunk after: drawn into the huge window
                      OddSize{32768, 32768}, OddSize{40000, 40000},
                      OddSize{4097, 4096},              // drawn, but past the picture limit
                      OddSize{2147483647, 2147483647},  // beyond what X can make
                      OddSize{65536, 65536},            // 0 to X's 16-bit sides: refused
                      OddSize{0, 0}, OddSize{1, 0},     // no window at all
                      OddSize{1, 1}, OddSize{512, 1}),  // off screen at (-1, -1): not shown
    [](const auto& info) {
      return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
    });
