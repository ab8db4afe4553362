// The grid and physics as settings of a session: their text forms, the window they start with,
// and the front end on grids other than the default.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <variant>

#include "cell_geometry.h"
#include "field_checksum.h"
#include "fresh_fluid.h"
#include "input.h"
#include "simulation_settings.h"

namespace {

TEST(SimulationSettings, EveryAcceptedRateReadsBackFromItsTextToTheSameBits) {
  std::mt19937 random(18);
  std::uniform_int_distribution<std::uint32_t> bits(0, 0x7F7FFFFFu);  // +0 to the largest float
  for (int k = 0; k < 100000; ++k) {
    const float value = std::bit_cast<float>(bits(random));
    const std::string text = rate_text(value);
    const auto read = read_rate(text, RateKind::Diffusion);
    ASSERT_TRUE(std::holds_alternative<float>(read)) << text << ": " << std::get<std::string>(read);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(std::get<float>(read)),
              std::bit_cast<std::uint32_t>(value))
        << text;
  }
  // Typed as the built-in values are written, they are the built-in values.
  EXPECT_EQ(std::get<float>(read_rate("0.2", RateKind::TimeStep)), kDefaultDt);
  EXPECT_EQ(std::get<float>(read_rate("0.5", RateKind::Diffusion)), kDefaultDiff);
  EXPECT_EQ(rate_text(kDefaultDt), "0.2");
}

// A recording's settings decide; options may repeat them but not contradict them, and without
// a recording they choose, the defaults filling in.
TEST(SimulationSettings, TheRecordingDecidesAndOptionsMayRepeatButNotContradictIt) {
  const SimulationSettings fine{.grid = 254, .dt = 0.1f, .diff = 0.25f, .visc = 0.001f};
  const SimulationSettings defaults;
  const struct {
    ChosenSettings chosen;
    std::optional<SimulationSettings> recorded;
    std::variant<SimulationSettings, std::string> settled;
  } cases[] = {
      {{}, std::nullopt, defaults},
      {{.grid = 62, .visc = 2.0f}, std::nullopt,
       SimulationSettings{.grid = 62, .dt = 0.2f, .diff = 0.5f, .visc = 2.0f}},
      {{}, fine, fine},
      {{.grid = 254, .dt = 0.1f, .diff = 0.25f, .visc = 0.001f}, fine, fine},
      {{.grid = 126}, fine, "--grid 126 contradicts the recording take.rec, made with grid 254"},
      {{.dt = 0.2f}, fine, "--dt 0.2 contradicts the recording take.rec, made with dt 0.1"},
      {{.diff = 0.25f, .visc = 0.0f}, fine,
       "--visc 0 contradicts the recording take.rec, made with visc 0.001"},
      // A recording made with the defaults states them only when written by hand.
      {{.dt = 0.3f}, defaults, "--dt 0.3 contradicts the recording take.rec, made with dt 0.2"},
  };
  for (const auto& [chosen, recorded, settled] : cases) {
    EXPECT_EQ(settle_settings(chosen, recorded, "take.rec"), settled);
  }
}

TEST(WindowSide, FourPixelsACellReducedToWholePixelsThatFitTheScreenButNeverBelow512) {
  const struct {
    int n, screen_width, screen_height, side;
  } cases[] = {
      {126, 1280, 1024, 512},  {126, 640, 480, 512},   // the default, whatever the screen
      {126, 0, 0, 512},        {62, 1280, 1024, 256},  // never enlarged
      {254, 1280, 1024, 1024}, {254, 1920, 1000, 768}, // 3 pixels a cell fit 1000
      {254, 640, 480, 512},    {510, 1280, 1024, 1024},
      {1022, 1280, 1024, 1024}, {1022, 800, 600, 1024},  // at least 1 pixel a cell
      {1022, 4096, 4096, 4096},
  };
  for (const auto& [n, width, height, side] : cases) {
    EXPECT_EQ(window_side_for_screen(n, width, height), side)
        << n << " on " << width << " x " << height;
  }
}

using GridFrontEnd = FreshFluid;

// On a grid of n cells a side: the pointer maps through the grid's side, a burst and the
// bottom source are n times the cell size, 'f' feeds the middle column, and the checksum
// covers every cell of the larger fields.
TEST_F(GridFrontEnd, PointerSourcesAndChecksumFollowTheGrid) {
  const struct {
    int n, window;
  } cases[] = {{62, 512}, {254, 512}, {1022, 4096}};
  for (const auto& [n, window] : cases) {
    SCOPED_TRACE(n);
    fluid = FluidState{};
    set_grid(fluid, n);
    record_window_size(window, window);
    const float cell = static_cast<float>(window / n);
    const int middle = (n + 2) / 2;
    mouse_button_event(2, 0, window / 2, window / 2);  // the window's centre
    EXPECT_EQ(fluid.dens_prev[IX(middle, middle)], static_cast<float>(n) * cell);
    EXPECT_EQ(fluid.u_prev[IX(middle, middle + 1)], cell);
    mouse_button_event(2, 0, window - 1, 0);  // the top-right corner clamps to cell (n, n)
    EXPECT_EQ(fluid.dens_prev[IX(n, n)], static_cast<float>(n) * cell);
    apply_key('f');
    EXPECT_EQ(fluid.source_column, middle);
    EXPECT_EQ(fluid.dens_prev[IX(1, middle)], static_cast<float>(n) * cell);
    EXPECT_EQ(fluid.v_prev[IX(1, middle)], cell);
    const std::uint64_t before = field_checksum();
    fluid.boundary[IX(n + 1, n + 1)] = 1;  // the last cell of the last field
    EXPECT_NE(field_checksum(), before);
  }
}

}  // namespace
