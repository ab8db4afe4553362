#include "recording_format.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstring>
#include <cstdio>
#include <optional>

#include "frame_limits.h"
#include "program_messages.h"

namespace {

// A number field of an event line: its name in the format and the values it may take.
struct Field {
  const char* name;
  std::int64_t lowest;
  std::int64_t highest;
};

constexpr Field kFrame{"<frame>", 0, kMostFrames};
constexpr Field kKeyCode{"<code>", 0, 255};
constexpr Field kButton{"<button>", 0, 255};
constexpr Field kState{"<state>", 0, 1};
constexpr Field kCoordinate{"<x>", INT_MIN, INT_MAX};
constexpr Field kCoordinateY{"<y>", INT_MIN, INT_MAX};
constexpr Field kWidth{"<width>", 0, INT_MAX};
constexpr Field kHeight{"<height>", 0, INT_MAX};

struct EventShape {
  std::string_view word;
  InputKind kind;
  std::vector<Field> fields;
};

const std::vector<EventShape>& event_shapes() {
  static const std::vector<EventShape> shapes = {
      {"key", InputKind::Key, {kKeyCode, kCoordinate, kCoordinateY}},
      {"mouse", InputKind::Mouse, {kButton, kState, kCoordinate, kCoordinateY}},
      {"motion", InputKind::Motion, {kCoordinate, kCoordinateY}},
      {"reshape", InputKind::Reshape, {kWidth, kHeight}},
  };
  return shapes;
}

std::vector<std::string_view> words_of(std::string_view line) {
  std::vector<std::string_view> words;
  std::size_t at = 0;
  while (true) {
    at = line.find_first_not_of(" \t\r", at);
    if (at == std::string_view::npos) return words;
    const std::size_t end = std::min(line.find_first_of(" \t\r", at), line.size());
    words.push_back(line.substr(at, end - at));
    at = end;
  }
}

// The value of `word` for `field`, or the fault to report.
std::variant<std::int64_t, std::string> number_for(const Field& field, std::string_view word) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error == std::errc::result_out_of_range || (error == std::errc{} && end == word.end() &&
                                                  (value < field.lowest || value > field.highest))) {
    return "expected " + std::string(field.name) + " from " + std::to_string(field.lowest) +
           " to " + std::to_string(field.highest) + ", found " + std::string(word);
  }
  if (error != std::errc{} || end != word.end()) {
    return "expected a whole number for " + std::string(field.name) + ", found \"" +
           std::string(word) + "\"";
  }
  return value;
}

std::string usage_of(const EventShape& shape) {
  std::string usage = "\"<frame> ";
  usage.append(shape.word);
  for (const Field& field : shape.fields) usage.append(" ").append(field.name);
  return usage.append("\"");
}

void store(InputEvent& event, const EventShape& shape, const std::vector<std::int64_t>& values) {
  const auto v = [&](std::size_t k) { return static_cast<int>(values[k]); };
  switch (shape.kind) {
    case InputKind::Key:
      event.key = v(0), event.x = v(1), event.y = v(2);
      break;
    case InputKind::Mouse:
      event.button = v(0), event.state = v(1), event.x = v(2), event.y = v(3);
      break;
    case InputKind::Motion:
      event.x = v(0), event.y = v(1);
      break;
    case InputKind::Reshape:
      event.width = v(0), event.height = v(1);
      break;
  }
}

// One event line, checked against the frame of the event before it.
std::variant<InputEvent, std::string> parse_event(const std::vector<std::string_view>& words,
                                                  std::int64_t earliest_frame) {
  InputEvent event;
  auto frame = number_for(kFrame, words[0]);
  if (auto* fault = std::get_if<std::string>(&frame)) return *fault;
  event.frame = std::get<std::int64_t>(frame);
  if (event.frame < earliest_frame) {
    return "expected a frame of at least " + std::to_string(earliest_frame) +
           " (frames never decrease), found " + std::to_string(event.frame);
  }
  if (words.size() < 2) return std::string("expected an event after the frame");
  const EventShape* shape = nullptr;
  for (const EventShape& candidate : event_shapes()) {
    if (candidate.word == words[1]) shape = &candidate;
  }
  if (shape == nullptr) {
    return "expected key, mouse, motion or reshape, found \"" + std::string(words[1]) + "\"";
  }
  event.kind = shape->kind;
  if (words.size() != shape->fields.size() + 2) return "expected " + usage_of(*shape);
  std::vector<std::int64_t> values;
  for (std::size_t k = 0; k < shape->fields.size(); ++k) {
    auto value = number_for(shape->fields[k], words[k + 2]);
    if (auto* fault = std::get_if<std::string>(&value)) return *fault;
    values.push_back(std::get<std::int64_t>(value));
  }
  store(event, *shape, values);
  return event;
}

std::string header_expected() {
  return "expected the header \"" + std::string(kRecordingHeader) + "\"";
}

// The settings line's words after its first, as written by format_settings.
std::variant<SimulationSettings, std::string> parse_settings(
    const std::vector<std::string_view>& words) {
  const std::string usage = "expected \"" + std::string(kSettingsWord) +
                            " grid <N> dt <X> diff <X> visc <X>\"";
  if (words.size() != 9 || words[1] != "grid" || words[3] != "dt" || words[5] != "diff" ||
      words[7] != "visc") {
    return usage;
  }
  SimulationSettings settings;
  auto grid = read_grid(words[2]);
  if (auto* what = std::get_if<std::string>(&grid)) return "grid: " + *what;
  settings.grid = std::get<int>(grid);
  const struct {
    std::size_t at;
    RateKind kind;
    float SimulationSettings::*setting;
  } rates[] = {{4, RateKind::TimeStep, &SimulationSettings::dt},
               {6, RateKind::Diffusion, &SimulationSettings::diff},
               {8, RateKind::Diffusion, &SimulationSettings::visc}};
  for (const auto& [at, kind, setting] : rates) {
    auto rate = read_rate(words[at], kind);
    if (auto* what = std::get_if<std::string>(&rate)) {
      return std::string(words[at - 1]) + ": " + *what;
    }
    settings.*setting = std::get<float>(rate);
  }
  return settings;
}

}  // namespace

std::string format_settings(const SimulationSettings& settings) {
  return std::string(kSettingsWord) + " grid " + std::to_string(settings.grid) + " dt " +
         rate_text(settings.dt) + " diff " + rate_text(settings.diff) + " visc " +
         rate_text(settings.visc);
}

std::string format_event(const InputEvent& event) {
  const std::string frame = std::to_string(event.frame) + " ";
  switch (event.kind) {
    case InputKind::Key:
      return frame + "key " + std::to_string(event.key) + " " + std::to_string(event.x) + " " +
             std::to_string(event.y);
    case InputKind::Mouse:
      return frame + "mouse " + std::to_string(event.button) + " " +
             std::to_string(event.state) + " " + std::to_string(event.x) + " " +
             std::to_string(event.y);
    case InputKind::Motion:
      return frame + "motion " + std::to_string(event.x) + " " + std::to_string(event.y);
    case InputKind::Reshape:
      return frame + "reshape " + std::to_string(event.width) + " " +
             std::to_string(event.height);
  }
  return frame;
}

ParsedRecording read_recording_from(const ByteSource& source, const std::string& name,
                                    const ReadLimits& limits) {
  Recording recording;
  std::vector<InputEvent>& events = recording.events;
  bool header_read = false;
  const auto take_line = [&](std::int64_t number,
                             std::string_view line) -> std::optional<std::string> {
    const std::vector<std::string_view> words = words_of(line);
    if (number == 1) {
      header_read = true;
      // Word by word, so that spacing around the header's words does not matter.
      if (words != words_of(kRecordingHeader)) return header_expected();
      return std::nullopt;
    }
    if (!words.empty() && words[0] == kSettingsWord) {
      if (recording.settings) return std::string("expected one settings line, found another");
      if (!events.empty()) return std::string("expected the settings before the first event");
      auto settings = parse_settings(words);
      if (auto* what = std::get_if<std::string>(&settings)) return std::move(*what);
      recording.settings = std::get<SimulationSettings>(settings);
      return std::nullopt;
    }
    if (words.empty() || words[0].front() == '#') return std::nullopt;
    const std::int64_t earliest = events.empty() ? 0 : events.back().frame;
    auto event = parse_event(words, earliest);
    if (auto* what = std::get_if<std::string>(&event)) return std::move(*what);
    events.push_back(std::get<InputEvent>(event));
    return std::nullopt;
  };
  auto fault = read_lines(source, limits, take_line);
  // Nothing at all is a recording without its header.
  if (!fault && !header_read) fault = LineFault{1, header_expected()};
  // One line, whatever bytes the file name or the file held.
  if (fault) return printable(name + ":" + std::to_string(fault->line) + ": " + fault->what);
  return recording;
}

ParsedRecording parse_recording(std::string_view text, const std::string& name,
                                const ReadLimits& limits) {
  const ByteSource whole_text = [&](char* buffer, std::size_t capacity) {
    const std::size_t count = std::min(capacity, text.size());
    std::memcpy(buffer, text.data(), count);
    text.remove_prefix(count);
    return static_cast<std::ptrdiff_t>(count);
  };
  return read_recording_from(whole_text, name, limits);
}

ParsedRecording read_recording(const std::string& path, const ReadLimits& limits) {
  // A file that cannot be read is reported as a fault of the line where reading stopped, in
  // the same form as every other fault: line 1 when it cannot be opened at all. Read as it
  // comes, never trusting a size given beforehand: pipes and devices have none.
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0) return printable(path + ":1: cannot be read: " + std::strerror(errno));
  const ByteSource from_file = [&](char* buffer, std::size_t capacity) {
    ssize_t got;
    do got = ::read(file, buffer, capacity);
    while (got < 0 && errno == EINTR);
    return static_cast<std::ptrdiff_t>(got);
  };
  ParsedRecording parsed = read_recording_from(from_file, path, limits);
  ::close(file);
  return parsed;
}
