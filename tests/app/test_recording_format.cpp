#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "recording_format.h"

namespace {

const std::string kHeader = "velmar-recording 1\n";

std::string fault_of(const std::string& text) {
  const ParsedRecording parsed = parse_recording(text, "take.rec");
  const auto* fault = std::get_if<std::string>(&parsed);
  return fault != nullptr ? *fault : "(accepted)";
}

TEST(RecordingFormat, SettingsAndEveryEventKindSurviveWritingAndReadingBack) {
  const std::vector<InputEvent> events = {
      {.frame = 0, .kind = InputKind::Reshape, .width = 512, .height = 512},
      {.frame = 3, .kind = InputKind::Mouse, .button = 2, .state = 0, .x = 200, .y = 300},
      {.frame = 3, .kind = InputKind::Motion, .x = -40, .y = 2147483647},
      {.frame = 999999999999, .kind = InputKind::Key, .key = 255, .x = -2147483648, .y = 7},
  };
  std::string text = kHeader + "# comments and blank lines are ignored\n\n";
  for (const InputEvent& event : events) text += format_event(event) + "\n";
  EXPECT_EQ(format_event(events[1]), "3 mouse 2 0 200 300");
  const ParsedRecording parsed = parse_recording(text, "take.rec");
  ASSERT_TRUE(std::holds_alternative<Recording>(parsed)) << fault_of(text);
  EXPECT_EQ(std::get<Recording>(parsed), (Recording{.settings = std::nullopt, .events = events}));
  // Written by hand on another system: tabs, runs of spaces and CRLF line ends.
  EXPECT_EQ(fault_of("velmar-recording 1\r\n7\tkey  32 1 2\r\n"), "(accepted)");

  // The settings line, after comments and before the events, reads back to the same bits.
  const SimulationSettings settings{.grid = 1022, .dt = 1e-45f, .diff = 3.4028235e38f,
                                    .visc = 0.1f};
  EXPECT_EQ(format_settings(settings),
            "#velmar-settings grid 1022 dt 1e-45 diff 3.4028235e+38 visc 0.1");
  const std::string events_text = text.substr(kHeader.size());
  const ParsedRecording stated = parse_recording(
      kHeader + "# x\n\n" + format_settings(settings) + "\r\n" + events_text, "take.rec");
  ASSERT_TRUE(std::holds_alternative<Recording>(stated)) << std::get<std::string>(stated);
  EXPECT_EQ(std::get<Recording>(stated), (Recording{.settings = settings, .events = events}));
}

TEST(RecordingFormat, EachFaultNamesTheFileLineAndWhatWasExpected) {
  const struct {
    std::string text;
    std::string fault;
  } cases[] = {
      {"", "take.rec:1: expected the header \"velmar-recording 1\""},
      {"velmar-recording 2\n", "take.rec:1: expected the header \"velmar-recording 1\""},
      {"0 key 32 0 0\n", "take.rec:1: expected the header \"velmar-recording 1\""},
      {kHeader + "4 jump 1 2\n", "take.rec:2: expected key, mouse, motion or reshape, found \"jump\""},
      {kHeader + "4\n", "take.rec:2: expected an event after the frame"},
      {kHeader + "# x\n4 key 32 0\n", "take.rec:3: expected \"<frame> key <code> <x> <y>\""},
      {kHeader + "4 mouse 0 0 1 2 3\n",
       "take.rec:2: expected \"<frame> mouse <button> <state> <x> <y>\""},
      {kHeader + "4 motion 1\n", "take.rec:2: expected \"<frame> motion <x> <y>\""},
      {kHeader + "4 reshape 10\n", "take.rec:2: expected \"<frame> reshape <width> <height>\""},
      {kHeader + "4 motion 1 two\n", "take.rec:2: expected a whole number for <y>, found \"two\""},
      {kHeader + "4 motion 1.5 2\n", "take.rec:2: expected a whole number for <x>, found \"1.5\""},
      {kHeader + "x motion 1 2\n", "take.rec:2: expected a whole number for <frame>, found \"x\""},
      {kHeader + "-1 motion 1 2\n", "take.rec:2: expected <frame> from 0 to 999999999999, found -1"},
      {kHeader + "9 motion 1 2\n8 motion 1 2\n",
       "take.rec:3: expected a frame of at least 9 (frames never decrease), found 8"},
      {kHeader + "1 key 256 0 0\n", "take.rec:2: expected <code> from 0 to 255, found 256"},
      {kHeader + "1 mouse 0 2 0 0\n", "take.rec:2: expected <state> from 0 to 1, found 2"},
      {kHeader + "1 motion 2147483648 0\n",
       "take.rec:2: expected <x> from -2147483648 to 2147483647, found 2147483648"},
      {kHeader + "1 reshape -5 10\n", "take.rec:2: expected <width> from 0 to 2147483647, found -5"},
      {kHeader + "99999999999999999999 key 1 0 0\n",
       "take.rec:2: expected <frame> from 0 to 999999999999, found 99999999999999999999"},
      // The settings line: its form, its values as the options take them, one, before events.
      {kHeader + "#velmar-settings grid 254\n",
       "take.rec:2: expected \"#velmar-settings grid <N> dt <X> diff <X> visc <X>\""},
      {kHeader + "#velmar-settings dt 0.2 grid 254 diff 0.5 visc 0\n",
       "take.rec:2: expected \"#velmar-settings grid <N> dt <X> diff <X> visc <X>\""},
      {kHeader + "#velmar-settings grid 100 dt 0.2 diff 0.5 visc 0\n",
       "take.rec:2: grid: expected N from 30 to 1022 with N + 2 a multiple of 32 (30, 62, 94, "
       "126, ..., 1022), found \"100\""},
      {kHeader + "#velmar-settings grid 254 dt 0 diff 0.5 visc 0\n",
       "take.rec:2: dt: expected a finite decimal number greater than 0, found \"0\""},
      {kHeader + "#velmar-settings grid 254 dt 0.2 diff nan visc 0\n",
       "take.rec:2: diff: expected a finite decimal number, 0 or more, found \"nan\""},
      {kHeader + "#velmar-settings grid 254 dt 0.2 diff 0.5 visc -1\n",
       "take.rec:2: visc: expected a finite decimal number, 0 or more, found \"-1\""},
      {kHeader + "0 key 32 0 0\n#velmar-settings grid 254 dt 0.2 diff 0.5 visc 0\n",
       "take.rec:3: expected the settings before the first event"},
      {kHeader + "#velmar-settings grid 62 dt 0.2 diff 0.5 visc 0\n"
                 "#velmar-settings grid 62 dt 0.2 diff 0.5 visc 0\n",
       "take.rec:3: expected one settings line, found another"},
  };
  for (const auto& [text, fault] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(fault_of(text), fault);
  }
  const ParsedRecording missing = read_recording("/nonexistent/take.rec");
  EXPECT_EQ(std::get<std::string>(missing),
            "/nonexistent/take.rec:1: cannot be read: No such file or directory");
  EXPECT_EQ(std::get<std::string>(read_recording("/")), "/:1: cannot be read: Is a directory");
}

}  // namespace
