// The command line's shape, checked in the program's own words before the option parser sees
// it: an argument that is no option, an option the program does not have, a value missing or
// given to a flag. The parser's own texts then never reach the user.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// One option as the command line spells it.
struct OptionShape {
  std::string name;        // "--png", "-h"
  std::string value_text;  // "DIR"; empty for a flag
};

// The first fault in `arguments` (the program's own, its name first), in the form
// `--png: expected DIR after it, found nothing`; nothing when the line is well formed.
std::optional<std::string> shape_fault(const std::vector<std::string>& arguments,
                                       const std::vector<OptionShape>& options);

// `word` read as a whole number from `lowest` to `highest`, or the fault in the program's form:
// `expected a whole number from 1 to 64, found "0"`.
std::variant<long long, std::string> read_whole_number(std::string_view word, long long lowest,
                                                       long long highest);
