#include "session_setup.h"

#include <variant>

#include "field_checksum.h"
#include "input_route.h"
#include "picture_export.h"
#include "program_messages.h"
#include "recording_format.h"
#include "session_recorder.h"

std::optional<SessionPlan> prepare_session(const ProgramOptions& options, std::FILE* err) {
  SessionPlan plan;
  if (!options.replay_path.empty()) {
    ParsedRecording parsed = read_recording(options.replay_path);
    if (const auto* fault = std::get_if<std::string>(&parsed)) {
      std::fprintf(err, "%s\n", fault->c_str());
      return std::nullopt;
    }
    auto& events = std::get<std::vector<InputEvent>>(parsed);
    // A recorded Escape ends the run by itself; otherwise the last event's frame is drawn.
    if (!events.empty()) plan.headless_frames = events.back().frame + 1;
    start_replay(std::move(events));
  }
  const auto settled = settle_settings(options.settings, std::nullopt, options.replay_path);
  if (const auto* fault = std::get_if<std::string>(&settled)) {
    print_message(err, "%s", fault->c_str());
    return std::nullopt;
  }
  apply_settings(std::get<SimulationSettings>(settled));
  if (options.frames) plan.headless_frames = *options.frames;
  if (!options.png_dir.empty() &&
      !start_picture_export(options.png_dir, options.png_every, options.overwrite, err)) {
    return std::nullopt;
  }
  // Last: a session refused for another reason leaves no recording behind.
  if (!options.record_path.empty() &&
      !start_recording(options.record_path, options.overwrite, err)) {
    return std::nullopt;
  }
  if (options.checksum) print_checksum_at_exit();
  return plan;
}
