#include "simulation_settings.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

bool same_bits(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

std::string found(std::string_view word) { return ", found \"" + std::string(word) + "\""; }

}  // namespace

bool SimulationSettings::operator==(const SimulationSettings& other) const {
  return grid == other.grid && same_bits(dt, other.dt) && same_bits(diff, other.diff) &&
         same_bits(visc, other.visc);
}

std::variant<int, std::string> read_grid(std::string_view word) {
  int n = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), n);
  if (error != std::errc{} || end != word.data() + word.size() || n < kSmallestGrid ||
      n > kLargestGrid || (n + 2) % 32 != 0) {
    return "expected N from " + std::to_string(kSmallestGrid) + " to " +
           std::to_string(kLargestGrid) + " with N + 2 a multiple of 32 (30, 62, 94, 126, ..., " +
           std::to_string(kLargestGrid) + ")" + found(word);
  }
  return n;
}

std::variant<float, std::string> read_rate(std::string_view word, RateKind kind) {
  float value = 0.0f;
  // from_chars rounds the decimal straight to the nearest float, as a literal does: "0.2"
  // gives the bits of the built-in 0.2f. Out of a float's range it refuses.
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  const bool number = error == std::errc{} && end == word.data() + word.size() &&
                      std::isfinite(value) && value >= 0.0f;
  if (!number || (kind == RateKind::TimeStep && value == 0.0f)) {
    return std::string(kind == RateKind::TimeStep
                           ? "expected a finite decimal number greater than 0"
                           : "expected a finite decimal number, 0 or more") +
           found(word);
  }
  // "-0" is zero: stored as +0, so that a session given it keeps the default settings (and
  // its recording no settings line) where the default is 0.
  return value == 0.0f ? 0.0f : value;
}

std::string rate_text(float value) {
  char text[32];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value);
  return error == std::errc{} ? std::string(text, end) : std::string();
}

std::variant<SimulationSettings, std::string> settle_settings(
    const ChosenSettings& chosen, const std::optional<SimulationSettings>& recorded,
    const std::string& recording_name) {
  SimulationSettings settings = recorded.value_or(SimulationSettings{});
  const auto contradiction = [&](const char* name, const std::string& asked,
                                 const std::string& stated) {
    return "--" + std::string(name) + " " + asked + " contradicts the recording " +
           recording_name + ", made with " + name + " " + stated;
  };
  if (chosen.grid) {
    if (recorded && *chosen.grid != recorded->grid) {
      return contradiction("grid", std::to_string(*chosen.grid), std::to_string(recorded->grid));
    }
    settings.grid = *chosen.grid;
  }
  const struct {
    const char* name;
    const std::optional<float>& asked;
    float SimulationSettings::*setting;
  } rates[] = {{"dt", chosen.dt, &SimulationSettings::dt},
               {"diff", chosen.diff, &SimulationSettings::diff},
               {"visc", chosen.visc, &SimulationSettings::visc}};
  for (const auto& [name, asked, setting] : rates) {
    if (!asked) continue;
    if (recorded && !same_bits(*asked, (*recorded).*setting)) {
      return contradiction(name, rate_text(*asked), rate_text((*recorded).*setting));
    }
    settings.*setting = *asked;
  }
  return settings;
}

int starting_window_side(int n) { return (n + 2) * 4; }

int window_side_for_screen(int n, int screen_width, int screen_height) {
  const int side = starting_window_side(n);
  const int room = std::max(std::min(screen_width, screen_height),
                            starting_window_side(kDefaultGridInterior));
  if (side <= room) return side;
  return std::max(1, room / (n + 2)) * (n + 2);
}

void apply_settings(const SimulationSettings& settings) {
  if (settings.grid != fluid.N) set_grid(fluid, settings.grid);
  fluid.dt = settings.dt;
  fluid.diff = settings.diff;
  fluid.visc = settings.visc;
  fluid.window_width = fluid.window_height = starting_window_side(settings.grid);
}
