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
  std::optional<SimulationSettings> recorded;
  if (!options.replay_path.empty()) {
    ParsedRecording parsed = read_recording(options.replay_path);
    if (const auto* fault = std::get_if<std::string>(&parsed)) {
      std::fprintf(err, "%s\n", fault->c_str());
      return std::nullopt;
    }
    Recording& recording = std::get<Recording>(parsed);
    recorded = recording.settings;
    // A recorded Escape ends the run by itself; otherwise the last event's frame is drawn.
    if (!recording.events.empty()) plan.headless_frames = recording.events.back().frame + 1;
    start_replay(std::move(recording.events));
  }
  const auto settled = settle_settings(options.settings, recorded, options.replay_path);
  if (const auto* fault = std::get_if<std::string>(&settled)) {
    print_message(err, "%s", fault->c_str());
    return std::nullopt;
  }
  const SimulationSettings& settings = std::get<SimulationSettings>(settled);
  apply_settings(settings);
  if (options.frames) plan.headless_frames = *options.frames;
  if (!options.png_dir.empty() &&
      !start_picture_export(options.png_dir, options.png_every, options.overwrite, err)) {
    return std::nullopt;
  }
  // Settings other than the defaults travel with the recording, so that its replay needs no
  // options.
  if (!(settings == SimulationSettings{})) plan.recorded_settings = settings;
  if (!options.record_path.empty() &&
      !recording_path_usable(options.record_path, options.overwrite, err)) {
    return std::nullopt;
  }
  return plan;
}

bool begin_session(const ProgramOptions& options, const SessionPlan& plan, std::FILE* err) {
  // Last: a session refused for another reason leaves no recording behind.
  if (!options.record_path.empty() &&
      !start_recording(options.record_path, options.overwrite, plan.recorded_settings, err)) {
    abandon_session();
    return false;
  }
  if (options.checksum) print_checksum_at_exit();
  return true;
}

void abandon_session() { withdraw_picture_export(); }
