#include "glut_arguments.h"

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

}  // namespace

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
