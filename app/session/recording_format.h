// The text form of a recorded session:
//
//   velmar-recording 1
//   # lines starting with '#' are comments; blank lines are ignored
//   <frame> key <code> <x> <y>
//   <frame> mouse <button> <state> <x> <y>
//   <frame> motion <x> <y>
//   <frame> reshape <width> <height>
//
// Frames count the redraws before the event was handled and never decrease.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "input_event.h"

inline constexpr std::string_view kRecordingHeader = "velmar-recording 1";

// One event as a line of the file, without the newline.
std::string format_event(const InputEvent& event);

// Either every event of `text`, or the first fault as "NAME:LINE: what was expected".
using ParsedRecording = std::variant<std::vector<InputEvent>, std::string>;
ParsedRecording parse_recording(std::string_view text, const std::string& name);

// Reads and checks the whole file named `path`; unreadable files are reported like faults.
ParsedRecording read_recording(const std::string& path);
