#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "program_messages.h"
#include "recording_format.h"
#include "terminal_safe.h"

namespace {

TEST(Messages, QuotedBytesThatCouldSteerATerminalAreWrittenOut) {
  const struct {
    std::string text, shown;
  } cases[] = {
      {"plain words, 0-9 ~", "plain words, 0-9 ~"},
      {"\n\r\t\x1b[2J\x7f", "\\n\\r\\t\\x1b[2J\\x7f"},
      {std::string("a\0b", 3), "a\\x00b"},
      // The 8-bit CSI alone, and the C1 controls in UTF-8 (U+0080, U+0085, U+009F).
      {"\x9b" "31m", "\\x9b31m"},
      {"\xc2\x80|\xc2\x85|\xc2\x9f", "\\xc2\\x80|\\xc2\\x85|\\xc2\\x9f"},
      // Text in other scripts reads as itself: U+00A0, U+00E9, U+0416, U+20AC, U+1F600.
      {"\xc2\xa0\xc3\xa9\xd0\x96\xe2\x82\xac\xf0\x9f\x98\x80",
       "\xc2\xa0\xc3\xa9\xd0\x96\xe2\x82\xac\xf0\x9f\x98\x80"},
      // Not UTF-8: lone continuation and lead bytes, overlong forms, surrogates, past U+10FFFF,
      // a sequence cut short by the end or by another byte.
      {"\x80\xbf\xc0\xaf\xc1\xbf", "\\x80\\xbf\\xc0\\xaf\\xc1\\xbf"},
      {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
      {"\xf4\x90\x80\x80\xf5\xff", "\\xf4\\x90\\x80\\x80\\xf5\\xff"},
      {"\xe2\x82", "\\xe2\\x82"},
      {"\xe2\x82z\xc3", "\\xe2\\x82z\\xc3"},
  };
  for (const auto& [text, shown] : cases) {
    SCOPED_TRACE(shown);
    EXPECT_EQ(printable(text), shown);
    EXPECT_TRUE(terminal_safe(printable(text)));
  }
}

TEST(Messages, AWordQuotedFromARecordingReachesTheTerminalWrittenOut) {
  const ParsedRecording parsed =
      parse_recording("velmar-recording 1\n0 key \x9b" "31m\x7f\xc2\x85 0 0\n", "take.rec");
  EXPECT_EQ(std::get<std::string>(parsed),
            "take.rec:2: expected a whole number for <code>, found \"\\x9b31m\\x7f\\xc2\\x85\"");
}

}  // namespace
