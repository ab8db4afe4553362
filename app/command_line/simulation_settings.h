// The grid size and physics of a session: what the command line may choose and a recording
// may state, their text forms, and their one application before anything runs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "fluid_state.h"

struct SimulationSettings {
  int grid = kDefaultGridInterior;  // interior cells per side, N
  float dt = kDefaultDt;
  float diff = kDefaultDiff;
  float visc = kDefaultVisc;
  // Bit for bit: a setting that reads back to other bits is another setting.
  bool operator==(const SimulationSettings& other) const;
};

// The settings the command line names; those it leaves out are unset.
struct ChosenSettings {
  std::optional<int> grid = std::nullopt;
  std::optional<float> dt = std::nullopt;
  std::optional<float> diff = std::nullopt;
  std::optional<float> visc = std::nullopt;
};

// Grids whose side, N + 2, is a whole number of 32-thread blocks, within these bounds.
inline constexpr int kSmallestGrid = 30;
inline constexpr int kLargestGrid = 1022;

// N from its decimal text, or what was expected of it ("expected ..., found ...").
std::variant<int, std::string> read_grid(std::string_view word);

// A time step (greater than 0) or a diffusion rate (not negative) from its decimal text,
// rounded once to the nearest float; or what was expected of it.
enum class RateKind { TimeStep, Diffusion };
std::variant<float, std::string> read_rate(std::string_view word, RateKind kind);

// The shortest decimal text that read_rate reads back to the same bits.
std::string rate_text(float value);

// The settings a session runs with: those a recording states, else those the command line
// chose, else the defaults. An option that differs from what the recording states is the
// fault returned, in one line naming both.
std::variant<SimulationSettings, std::string> settle_settings(
    const ChosenSettings& chosen, const std::optional<SimulationSettings>& recorded,
    const std::string& recording_name);

// Gives `fluid` the grid and physics of `settings`, and the window size of 4 pixels a cell
// that the session starts with. Once, before anything runs: the fields are allocated here.
void apply_settings(const SimulationSettings& settings);

// A session's first window side for n interior cells a side: 4 pixels a cell.
int starting_window_side(int n);

// The first side of the window on a screen of the given size: 4 pixels a cell, or the most
// whole pixels a cell (at least 1) that fit the screen. Never reduced below 512, where the
// program has always opened whatever the screen (a screen of unknown size counts as none).
int window_side_for_screen(int n, int screen_width, int screen_height);
