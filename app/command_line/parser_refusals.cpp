#include "parser_refusals.h"

#include <charconv>
#include <cstdlib>

namespace {

std::string quoted(std::string_view word) {
  std::string text;
  text.reserve(word.size() + 2);
  text += '"';
  text += word;
  text += '"';
  return text;
}

// What the parser takes for a value although it starts with '-': "-", and numbers ("-1",
// "-0", "-1e3"), so that a negative value reaches the check that names its range.
bool reads_as_value(std::string_view argument) {
  if (argument.size() < 2 || argument[0] != '-') return true;
  const std::string text(argument);
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size();
}

const OptionShape* find_option(std::string_view name, const std::vector<OptionShape>& options) {
  for (const OptionShape& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> shape_fault(const std::vector<std::string>& arguments,
                                       const std::vector<OptionShape>& options) {
  for (std::size_t k = 1; k < arguments.size(); ++k) {
    const std::string_view argument = arguments[k];
    if (argument == "--") {  // what follows is no option, and the program takes no words
      if (k + 1 < arguments.size()) return "expected an option, found " + quoted(arguments[k + 1]);
      return std::nullopt;
    }
    if (reads_as_value(argument)) return "expected an option, found " + quoted(argument);
    const std::size_t equals = argument.starts_with("--") ? argument.find('=') : argument.npos;
    const std::string_view name = argument.substr(0, equals);
    const OptionShape* option = find_option(name, options);
    if (option == nullptr) {
      return "expected an option that --help lists, found " + quoted(argument);
    }
    const std::string& option_name = option->name;
    if (option->value_text.empty()) {
      if (equals != argument.npos) {
        return option_name + ": expected no value, found " + quoted(argument.substr(equals + 1));
      }
      continue;
    }
    if (equals != argument.npos) {
      if (equals + 1 < argument.size()) continue;
      return option_name + ": expected " + option->value_text + ", found \"\"";
    }
    if (k + 1 == arguments.size() || !reads_as_value(arguments[k + 1])) {
      return option_name + ": expected " + option->value_text + " after it, found " +
             (k + 1 == arguments.size() ? std::string("nothing") : quoted(arguments[k + 1]));
    }
    ++k;
  }
  return std::nullopt;
}

std::variant<long long, std::string> read_whole_number(std::string_view word, long long lowest,
                                                       long long highest) {
  long long value = 0;
  const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
  if (error == std::errc{} && end == word.data() + word.size() && value >= lowest &&
      value <= highest) {
    return value;
  }
  return "expected a whole number from " + std::to_string(lowest) + " to " +
         std::to_string(highest) + ", found " + quoted(word);
}
