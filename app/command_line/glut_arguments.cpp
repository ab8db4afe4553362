#include "glut_arguments.h"

#include <charconv>
#include <string_view>

#include "program_messages.h"

namespace {

// GLUT's own options under X, and whether each takes a value.
struct GlutOption {
  std::string_view name;
  bool takes_value;
};
constexpr GlutOption kGlutOptions[] = {
    {"-display", true}, {"-geometry", true}, {"-direct", false}, {"-indirect", false},
    {"-iconic", false}, {"-gldebug", false}, {"-sync", false},
};

const GlutOption* glut_option(std::string_view argument) {
  for (const GlutOption& option : kGlutOptions) {
    if (option.name == argument) return &option;
  }
  return nullptr;
}

// "WxH", optionally followed by a position ("+X+Y", "-X-Y"), each side from 1 to 32767 as X
// makes windows; nothing otherwise.
std::optional<StartingSize> geometry_size(std::string_view geometry) {
  StartingSize size;
  const char* end = geometry.data() + geometry.size();
  auto [after_width, width_error] = std::from_chars(geometry.data(), end, size.width);
  if (width_error != std::errc{} || after_width == end || *after_width != 'x') return std::nullopt;
  auto [after_height, height_error] = std::from_chars(after_width + 1, end, size.height);
  if (height_error != std::errc{} || geometry.front() == '-' || after_width[1] == '-') {
    return std::nullopt;
  }
  const std::string_view position(after_height, end - after_height);
  const bool position_only_signs_and_digits =
      position.empty() || ((position[0] == '+' || position[0] == '-') &&
                           position.find_first_not_of("+-0123456789") == std::string_view::npos);
  constexpr int kLargestSide = 32767;
  if (!position_only_signs_and_digits || size.width < 1 || size.height < 1 ||
      size.width > kLargestSide || size.height > kLargestSide) {
    return std::nullopt;
  }
  return size;
}

}  // namespace

HeadlessGlutArguments headless_glut_arguments(const SplitArguments& split) {
  std::optional<StartingSize> size;
  for (std::size_t k = 1; k < split.glut.size(); ++k) {
    const std::string& argument = split.glut[k];
    if (argument != "-geometry") {
      return argument + " is an option of the window, which does not go with --headless";
    }
    const std::string& geometry = split.glut[++k];
    size = geometry_size(geometry);
    if (!size) {
      return "-geometry: expected WxH (sides from 1 to 32767) with --headless, found \"" +
             geometry + "\"";
    }
  }
  return size;
}

SplitArguments split_glut_arguments(int argc, char** argv) {
  SplitArguments split;
  const std::string name = argc > 0 ? argv[0] : std::string(kProgramName);
  split.glut.push_back(name);
  split.program.push_back(name);
  for (int k = 1; k < argc; ++k) {
    const std::string_view argument = argv[k];
    if (argument == "--") {  // everything after it is the program's
      for (; k < argc; ++k) split.program.emplace_back(argv[k]);
      break;
    }
    const GlutOption* option = glut_option(argument);
    // A value-taking option at the very end has no value; the program's parser reports it.
    if (option == nullptr || (option->takes_value && k + 1 == argc)) {
      split.program.emplace_back(argument);
      continue;
    }
    split.glut.emplace_back(argument);
    if (option->takes_value) {
      split.glut.emplace_back(argv[++k]);
      if (argument == "-display") split.display_name = argv[k];
      if (argument == "-geometry") split.geometry = argv[k];
    }
  }
  return split;
}
