// The text form of a recorded session:
//
//   velmar-recording 1
//   #velmar-settings grid <N> dt <X> diff <X> visc <X>
//   # lines starting with '#' are comments; blank lines are ignored
//   <frame> key <code> <x> <y>
//   <frame> mouse <button> <state> <x> <y>
//   <frame> motion <x> <y>
//   <frame> reshape <width> <height>
//
// Frames count the redraws before the event was handled and never decrease. The settings
// line, at most one and before the first event, states the grid and physics the session ran
// with; readers that know nothing of it take it for a comment, so the version stays 1.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "bounded_lines.h"
#include "input_event.h"
#include "simulation_settings.h"

inline constexpr std::string_view kRecordingHeader = "velmar-recording 1";
inline constexpr std::string_view kSettingsWord = "#velmar-settings";

// One event as a line of the file, without the newline.
std::string format_event(const InputEvent& event);

// The settings line, without the newline; each value reads back to the same bits.
std::string format_settings(const SimulationSettings& settings);

struct Recording {
  std::optional<SimulationSettings> settings;  // none: the replay takes them from its options
  std::vector<InputEvent> events;
  bool operator==(const Recording&) const = default;
};

// How much is read before a recording is refused. A pipe, a device or a runaway generator may
// never end; these keep memory bounded: 16 MiB holds some 700,000 events, hours of dragging.
inline constexpr ReadLimits kRecordingLimits{.longest_line = 4096, .most_bytes = 16 << 20};

// Either the recording, or the first fault as "NAME:LINE: what was expected"; a recording over
// the limits is refused as soon as reading passes them, at the line where it stopped.
using ParsedRecording = std::variant<Recording, std::string>;
ParsedRecording parse_recording(std::string_view text, const std::string& name,
                                const ReadLimits& limits = kRecordingLimits);

// Reads and checks the recording `source` delivers, however it is delivered.
ParsedRecording read_recording_from(const ByteSource& source, const std::string& name,
                                    const ReadLimits& limits = kRecordingLimits);

// Reads and checks the file named `path`; unreadable files are reported like faults.
ParsedRecording read_recording(const std::string& path,
                               const ReadLimits& limits = kRecordingLimits);
