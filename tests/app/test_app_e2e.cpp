// The real program in a real X server, driven by real input events and checked by the pixels it
// draws. Each test gets its own Xvfb and program, killed in teardown whatever the outcome.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <iostream>
#include <sstream>
#include <tuple>
#include <utility>

#include "dump_format.h"
#include "x_session.h"

using namespace std::chrono_literals;

// Failure messages name a capture by its size; the pixels are described where they differ.
void PrintTo(const Capture& c, std::ostream* os) { *os << c.width << "x" << c.height << " capture"; }

namespace {

constexpr int kWindowSide = 512;
constexpr int kCellPixels = 4;  // cell_size of the 512 x 512 window
constexpr int kN = 126;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kGreen = 0x00FF00;
constexpr std::uint32_t kRed = 0xFF0000;

// Window pixel at the centre of cell (i, j) as drawn; rows count up from the bottom. The mouse
// maps this pixel back to the same cell.
int pixel_x(int j) { return j * kCellPixels + kCellPixels / 2; }
int pixel_y(int i) { return kWindowSide - (i * kCellPixels + kCellPixels / 2); }

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// In a sanitizer build, LeakSanitizer would turn Escape's status 0 into 1 over allocations that
// the X and GL libraries keep until exit; the program's own checks stay on.
std::string sanitizer_options() {
  const char* options = std::getenv("ASAN_OPTIONS");
  return std::string("ASAN_OPTIONS=") + (options != nullptr ? options : "") + ":detect_leaks=0";
}

class ProgramInX : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir_template = (std::filesystem::temp_directory_path() / "velmar-e2e-XXXXXX");
    ASSERT_NE(mkdtemp(dir_template.data()), nullptr);
    dir_ = dir_template;
    ASSERT_TRUE(xvfb_.start(dir_ + "/xvfb.log")) << read_file(dir_ + "/xvfb.log");
    ASSERT_TRUE(program_.start({VELMAR_PROGRAM},
                               {"DISPLAY=" + xvfb_.display_name(), sanitizer_options()},
                               stdout_path(), stderr_path()));
    ASSERT_TRUE(x_.connect(xvfb_.display_name()));
    ASSERT_TRUE(x_.attach_to_window("Velmar Stable Fluids", 10s));
    const Capture first = x_.capture();
    ASSERT_EQ(first.width, kWindowSide);
    ASSERT_EQ(first.height, kWindowSide);
  }

  void TearDown() override {
    program_.kill_and_reap();
    // The program's own messages (and any sanitizer report) belong in the test's output.
    std::cerr << read_file(stderr_path());
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  std::string stdout_path() const { return dir_ + "/stdout"; }
  std::string stderr_path() const { return dir_ + "/stderr"; }

  bool wait_for_capture(const std::function<bool(const Capture&)>& condition,
                        std::chrono::milliseconds timeout = 10s) {
    return wait_until([&] { return condition(x_.capture()); }, timeout);
  }

  // Pauses, and returns once a frame drawn after the pause is on screen: the grid key typed
  // after 's' shows in the first such frame, since the program handles events in order.
  bool pause_and_wait() {
    x_.type('s');
    x_.type('g');
    return wait_for_capture([](const Capture& c) { return c.count(kGreen) > 2 * kN * kN; });
  }

  bool drop_density_and_wait(int i, int j) {
    x_.click(3, pixel_x(j), pixel_y(i));
    return wait_for_capture(
        [&](const Capture& c) { return c.at(pixel_x(j), pixel_y(i)) != kBlack; });
  }

  std::string dir_;
  XvfbServer xvfb_;  // declared first: destroyed last, after the program and the connection
  ChildProcess program_;
  XClient x_;
};

bool all_black(const Capture& c) { return c.count(kBlack) == c.width * c.height; }

TEST_F(ProgramInX, StartsBlackAndGridKeyTogglesGreenOutlines) {
  ASSERT_TRUE(x_.wait_for_frames(1)) << "no input yet: any frame shows the starting state";
  EXPECT_TRUE(all_black(x_.capture()));

  x_.type('g');
  // Every interior cell outlined: at least one green line per cell row and column.
  ASSERT_TRUE(wait_for_capture([](const Capture& c) { return c.count(kGreen) > 2 * kN * kN; }));
  x_.type('g');
  EXPECT_TRUE(wait_for_capture(all_black));
}

TEST_F(ProgramInX, RightClickDropsDensityUnderThePointer) {
  const int i = 90, j = 40;  // off the diagonal, so a flipped or swapped axis would show
  ASSERT_TRUE(drop_density_and_wait(i, j));
  const Capture c = x_.capture();
  EXPECT_EQ(c.at(pixel_x(j), pixel_y(kN + 1 - i)), kBlack);
  EXPECT_EQ(c.at(pixel_x(kN + 1 - j), pixel_y(i)), kBlack);
  EXPECT_EQ(c.at(pixel_x(i), pixel_y(j)), kBlack);
}

TEST_F(ProgramInX, ObstaclePaintingTogglesBlueCellsAndBHidesThem) {
  const int i = 30, j = 90;
  const int x = pixel_x(j), y = pixel_y(i);
  x_.type('B');
  x_.click(1, x, y);
  ASSERT_TRUE(wait_for_capture([&](const Capture& c) { return c.at(x, y) == kBlue; }));
  const Capture painted = x_.capture();
  EXPECT_EQ(painted.count(kBlue), kCellPixels * kCellPixels) << "exactly one cell";

  x_.click(1, x, y);
  ASSERT_TRUE(wait_for_capture(all_black)) << "a second press removes the obstacle";

  x_.click(1, x, y);
  ASSERT_TRUE(wait_for_capture([&](const Capture& c) { return c.at(x, y) == kBlue; }));
  x_.type('b');
  EXPECT_TRUE(wait_for_capture(all_black));
}

TEST_F(ProgramInX, DensityKeyHidesTheDensityView) {
  ASSERT_TRUE(drop_density_and_wait(64, 64));
  x_.type('d');
  ASSERT_TRUE(wait_for_capture(all_black));
  x_.type('d');
  EXPECT_TRUE(wait_for_capture([](const Capture& c) { return !all_black(c); }));
}

TEST_F(ProgramInX, VelocityKeyDrawsRedSegmentsAfterADrag) {
  x_.move_pointer(pixel_x(30), pixel_y(64));
  x_.press_button(1);
  for (int j = 32; j <= 90; j += 2) x_.move_pointer(pixel_x(j), pixel_y(64));
  x_.release_button(1);
  ASSERT_TRUE(x_.wait_for_frames(kFramesUntilShown));
  EXPECT_TRUE(all_black(x_.capture())) << "a drag moves no density, and velocity is hidden";

  x_.type('v');
  EXPECT_TRUE(wait_for_capture([](const Capture& c) { return c.count(kRed) > 100; }));
}

TEST_F(ProgramInX, PauseFreezesTheFrameAndSpaceStepsOnce) {
  ASSERT_TRUE(drop_density_and_wait(64, 64));
  ASSERT_TRUE(pause_and_wait());
  // Paused frames go on being drawn; each of these would have stepped had the pause not held.
  const Capture paused = x_.capture();
  ASSERT_TRUE(x_.wait_for_frames(3));
  EXPECT_EQ(x_.capture(), paused);

  x_.type(' ');
  ASSERT_TRUE(wait_for_capture([&](const Capture& c) { return c != paused; }));
  const Capture stepped = x_.capture();
  ASSERT_TRUE(x_.wait_for_frames(3));
  EXPECT_EQ(x_.capture(), stepped) << "one step only";
}

// Checks `text` from `pos` against one field's dump: 128 rows of 128 "%f " values.
std::vector<std::vector<double>> parse_field(const std::string& text, std::size_t& pos) {
  std::vector<std::vector<double>> field;
  for (int r = 0; r < kN + 2; ++r) {
    const std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) break;
    const std::string line = text.substr(pos, end - pos);
    if (!is_dump_row(line)) break;
    std::istringstream values(line);
    field.emplace_back(std::istream_iterator<double>(values), std::istream_iterator<double>());
    pos = end + 1;
  }
  return field;
}

bool consume(const std::string& text, std::size_t& pos, const std::string& literal) {
  if (text.compare(pos, literal.size(), literal) != 0) return false;
  pos += literal.size();
  return true;
}

TEST_F(ProgramInX, DumpKeyPrintsTheFieldsOfOneStepThenEscapeExitsCleanly) {
  const int i = 90, j = 40;
  ASSERT_TRUE(drop_density_and_wait(i, j));
  ASSERT_TRUE(pause_and_wait());
  const Capture paused = x_.capture();
  x_.type('c');
  x_.type(' ');
  // The changed frame is the stepped one, and its dump was printed before it was drawn.
  ASSERT_TRUE(wait_for_capture([&](const Capture& c) { return c != paused; }));
  x_.type_escape();
  int status = 0;
  ASSERT_TRUE(program_.wait_exit(10s, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  // Standard output went to a file, so it is complete now that the program has exited.
  const std::string out = read_file(stdout_path());
  std::size_t pos = 0;
  ASSERT_TRUE(consume(out, pos, "\n\nDensity Field\n"));
  const auto density = parse_field(out, pos);
  ASSERT_EQ(density.size(), 128u);
  ASSERT_TRUE(consume(out, pos, "\n\nu Field\n"));
  ASSERT_EQ(parse_field(out, pos).size(), 128u);
  ASSERT_TRUE(consume(out, pos, "\n\nv Field\n"));
  ASSERT_EQ(parse_field(out, pos).size(), 128u);
  ASSERT_TRUE(consume(out, pos, "\n\nTotal Density: "));
  const double total = std::strtod(out.c_str() + pos, nullptr);
  char total_line[64];
  std::snprintf(total_line, sizeof total_line, "%f\n", total);
  EXPECT_EQ(out.substr(pos), total_line) << "one dump only, ending with the total";

  // Laid out as on screen: the top row first, so the burst's peak sits at row N+1-i.
  double interior = 0, peak = -1;
  int peak_row = -1, peak_column = -1;
  for (int row = 1; row <= kN; ++row) {
    for (int column = 1; column <= kN; ++column) {
      const double d = density[row][column];
      interior += d;
      if (d > peak) peak = d, peak_row = row, peak_column = column;
    }
  }
  EXPECT_NEAR(peak_row, kN + 1 - i, 2);
  EXPECT_NEAR(peak_column, j, 2);
  EXPECT_NEAR(total, interior, 1e-3 * total);
  EXPECT_GT(total, 0);
}

// A 1 x 1 window has cells of size 0 and maps every pointer far outside it; drags and clicks
// there must neither crash nor write outside the grid, and the program recovers on growing.
TEST_F(ProgramInX, SurvivesATinyWindowWithDragsFarOutsideIt) {
  ASSERT_TRUE(x_.resize(1, 1));
  x_.move_pointer(0, 0);
  x_.press_button(1);
  for (int step = 1; step <= 10; ++step) x_.move_pointer(100 * step, 70 * step);
  x_.release_button(1);
  x_.click(3, 1000, 700);
  x_.type('B');
  x_.click(1, 600, 300);
  x_.type('B');
  ASSERT_TRUE(x_.wait_for_frames(kFramesUntilShown)) << "frames of the 1 x 1 window";
  // Cells of no pixel are not drawn, and the program says so.
  const auto told = [&] {
    return read_file(stderr_path()).find("narrower than one pixel a cell") != std::string::npos;
  };
  ASSERT_TRUE(wait_until(told, 10s)) << read_file(stderr_path());

  ASSERT_TRUE(x_.resize(kWindowSide, kWindowSide));
  x_.type('r');
  EXPECT_TRUE(drop_density_and_wait(64, 64));
  ASSERT_TRUE(x_.resize(2, 2));
  ASSERT_TRUE(x_.wait_for_frames(kFramesUntilShown));
  const std::string told_once = read_file(stderr_path());
  EXPECT_EQ(told_once.find("narrower"), told_once.rfind("narrower")) << told_once;
}

// The largest window X allows is more than the software renderer can draw: the program keeps
// running through it, undrawn, and draws again once the window is back to a size it can take.
TEST_F(ProgramInX, SurvivesTheLargestWindowAndDrawsAgainAfterIt) {
  ASSERT_TRUE(x_.resize(32767, 32767));
  x_.type('g');
  // Nothing is drawn at that size, so no frame shows; the program says once that it took it.
  const auto said_undrawn = [&] {
    return read_file(stderr_path()).find("more than the renderer can draw") != std::string::npos;
  };
  ASSERT_TRUE(wait_until(said_undrawn, 10s));
  ASSERT_TRUE(x_.resize(kWindowSide, kWindowSide));
  x_.type('g');
  x_.type('r');
  EXPECT_TRUE(drop_density_and_wait(64, 64));
  x_.type_escape();
  int status = 0;
  ASSERT_TRUE(program_.wait_exit(10s, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ProgramInX, EscapeEndsTheProcessWithStatusZero) {
  x_.type_escape();
  int status = 0;
  ASSERT_TRUE(program_.wait_exit(10s, &status));
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// One program with its own Xvfb, for tests that drive two runs with the same input and compare
// what they draw.
struct ProgramRun {
  // `extra_env` adds to the program's environment (ASAN_OPTIONS aside); its standard error
  // goes to `error_path`, to the test's own when that is empty.
  bool start(const std::vector<std::string>& arguments, std::vector<std::string> extra_env = {},
             const std::string& error_path = "") {
    std::vector<std::string> argv{VELMAR_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    if (!xvfb.start("/dev/null")) return false;
    extra_env.push_back("DISPLAY=" + xvfb.display_name());
    // A preloaded library comes before the sanitizer's runtime, which it then must not refuse.
    extra_env.push_back(sanitizer_options() + ":verify_asan_link_order=0");
    return program.start(argv, extra_env, "/dev/null", error_path) &&
           x.connect(xvfb.display_name()) && x.attach_to_window("Velmar Stable Fluids", 10s);
  }

  // The first capture that meets `condition`; the condition must tell a frame of the wanted
  // state from an older one still on screen. An empty capture if none comes.
  Capture first_capture(const std::function<bool(const Capture&)>& condition) {
    Capture c;
    if (!wait_until([&] { return condition(c = x.capture()); }, 10s)) return {};
    return c;
  }

  XvfbServer xvfb;  // declared first: destroyed last
  ChildProcess program;
  XClient x;
};

// Where two captures of the same size differ: the count and the first pixel, for the message.
std::string difference(const Capture& a, const Capture& b) {
  if (a.width != b.width || a.height != b.height) {
    return std::to_string(a.width) + "x" + std::to_string(a.height) + " against " +
           std::to_string(b.width) + "x" + std::to_string(b.height);
  }
  int count = 0, first = -1;
  for (std::size_t k = 0; k < a.pixels.size(); ++k) {
    if (a.pixels[k] == b.pixels[k]) continue;
    if (count++ == 0) first = static_cast<int>(k);
  }
  if (count == 0) return "none";
  char text[128];
  std::snprintf(text, sizeof text, "%d pixels, first at (%d, %d): %06X against %06X", count,
                first % a.width, first / a.width, a.pixels[first], b.pixels[first]);
  return text;
}

// A paused state reached the same way in every run: bursts and an obstacle wall, one step.
void drive_to_stepped_state(XClient& x) {
  x.type('s');
  x.type('B');
  // Clicks, not a drag: each flips exactly its cell, however the motion events are grouped.
  for (int i = 40; i <= 80; ++i) x.click(1, pixel_x(70), pixel_y(i));
  x.type('B');
  for (const auto& [i, j] : {std::pair{64, 40}, std::pair{90, 100}, std::pair{30, 30}}) {
    x.click(3, pixel_x(j), pixel_y(i));
  }
  x.type(' ');
}

bool shows_density(const Capture& c) {
  for (const auto pixel : c.pixels) {
    if (pixel != kBlack && pixel != kBlue) return true;
  }
  return false;
}

// The layers draw obstacles and density as one image, a 2-D texture or, where the renderer has
// no textures of any size but rectangles, a texture rectangle; on a renderer with neither (a
// preloaded library plays these), in vertex arrays, and one line says so. All light the
// cell-by-cell drawing's pixels.
TEST(LayeredDrawing, DrawsTheObstacleAndDensityViewsPixelForPixelAsCellByCell) {
  char dir_template[] = "/tmp/velmar-layers-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string arrays_stderr = std::string(dir_template) + "/stderr";
  const std::string preload = std::string("LD_PRELOAD=") + GL_WITHOUT_IMAGE_TEXTURES;
  ProgramRun cells, layers, rectangle, arrays;
  ASSERT_TRUE(cells.start({}));  // no option: the cell-by-cell drawing
  ASSERT_TRUE(layers.start({"--draw=layers"}));
  ASSERT_TRUE(rectangle.start({"--draw=layers"}, {preload, "VELMAR_KEEP_TEXTURE_RECTANGLES=1"}));
  ASSERT_TRUE(arrays.start({"--draw=layers"}, {preload}, arrays_stderr));
  ProgramRun* const layered_runs[] = {&layers, &rectangle, &arrays};
  drive_to_stepped_state(cells.x);
  for (ProgramRun* run : layered_runs) drive_to_stepped_state(run->x);
  // Paused after one step, every frame is the same; the first with density is one of them.
  const Capture stepped = cells.first_capture(shows_density);
  ASSERT_EQ(stepped.count(kBlue), 41 * kCellPixels * kCellPixels) << "the wall, all of it";
  for (ProgramRun* run : layered_runs) {
    const Capture layered_stepped = run->first_capture(shows_density);
    EXPECT_EQ(stepped, layered_stepped) << difference(stepped, layered_stepped);
  }
  const std::string told = read_file(arrays_stderr);
  EXPECT_NE(told.find("has no textures of 126 x 126 texels"), std::string::npos) << told;
  EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 1) << told;

  // Velocity on, density hidden so that only segments are red: the layered segments are never
  // cut by later cells' obstacle quads. The density key comes first, so a frame with red and
  // no density shades has both changes.
  const auto has_red = [](const Capture& c) {
    return c.count(kRed) > 0 && c.count(kBlack) + c.count(kBlue) + c.count(kRed) == c.width * c.height;
  };
  for (ProgramRun* run : {&cells, &layers}) run->x.type('d'), run->x.type('v');
  const int cells_red = cells.first_capture(has_red).count(kRed);
  const int layered_red = layers.first_capture(has_red).count(kRed);
  EXPECT_GT(cells_red, 100);
  EXPECT_GE(layered_red, cells_red);
  for (ProgramRun* run : {&cells, &layers}) run->x.type('v'), run->x.type('d');

  // Cells of 7 and of 2 pixels; the grid reaches past the top of the wide window. A frame at
  // the new size shows the wall's bottom cell where only the new cell size puts it; the key
  // that hid the segments again came before the resize, so that frame has none.
  for (const auto& [width, height, cell] : {std::tuple{1000, 300, 7}, std::tuple{333, 777, 2}}) {
    const auto redrawn = [&](const Capture& c) {
      return c.width == width && c.height == height &&
             c.at(70 * cell + cell / 2, height - 1 - (40 * cell + cell / 2)) == kBlue;
    };
    ASSERT_TRUE(cells.x.resize(width, height));
    for (ProgramRun* run : layered_runs) ASSERT_TRUE(run->x.resize(width, height));
    const Capture reference = cells.first_capture(redrawn);
    ASSERT_EQ(reference.width, width) << "no frame at the new size";
    EXPECT_TRUE(shows_density(reference));
    for (ProgramRun* run : layered_runs) {
      const Capture layered = run->first_capture(redrawn);
      EXPECT_EQ(reference, layered) << width << "x" << height << ": " << difference(reference, layered);
    }
  }
  std::filesystem::remove_all(dir_template);
}

// The window opens at 4 pixels a cell, at fewer where that does not fit the 1280 x 1024 screen,
// and at the size -geometry gives when it gives one. A right click at the window's centre drops
// density on the centre cell of any grid, drawn under the pointer.
TEST(WindowSize, OpensAtFourPixelsACellWithinTheScreenUnlessGeometryGivesASize) {
  const struct {
    std::vector<std::string> arguments;
    int width, height;
  } cases[] = {
      {{"--draw=layers"}, 512, 512},
      {{"--draw=layers", "--grid=62"}, 256, 256},
      {{"--draw=layers", "--grid=510"}, 1024, 1024},
      {{"--draw=layers", "--grid=254", "-geometry", "300x200"}, 300, 200},
  };
  for (const auto& [arguments, width, height] : cases) {
    SCOPED_TRACE(arguments.back());
    ProgramRun run;
    ASSERT_TRUE(run.start(arguments));
    const Capture opened = run.first_capture(
        [&](const Capture& c) { return c.width == width && c.height == height; });
    EXPECT_EQ(opened.width, width);
    EXPECT_EQ(opened.height, height);
    if (width != height) continue;  // cells and pointer agree only in a square window
    run.x.click(3, width / 2, height / 2);
    const auto burst_shown = [&](const Capture& c) {
      return c.at(width / 2, height / 2) != kBlack;
    };
    EXPECT_FALSE(run.first_capture(burst_shown).pixels.empty()) << "no density at the centre";
  }
}

}  // namespace
