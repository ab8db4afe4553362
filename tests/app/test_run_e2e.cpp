// The program as a user meets it from a shell: a picture folder that already holds pictures,
// the progress of a long headless run on a terminal and nowhere else, the advice when there is
// no display, and the window under xvfb-run with the hint at faster drawing.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell_command.h"

namespace {

namespace fs = std::filesystem;

const std::string kProgram = shell_quoted(VELMAR_PROGRAM);
// Paused from the first frame: a run of thousands of frames costs next to nothing.
const std::string kPausedAtOnce = "velmar-recording 1\n0 key 115 0 0\n";

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir_template = fs::temp_directory_path() / "velmar-run-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template.data()), nullptr);
    dir_ = dir_template;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string path(const std::string& name) const { return shell_quoted(dir_ / name); }

  fs::path dir_;
};

TEST_F(ProgramRun, APictureFolderThatHoldsPicturesIsKeptUnlessOverwriteIsGiven) {
  const fs::path pictures = dir_ / "pictures";
  fs::create_directory(pictures);
  write_file(pictures / "frame-000001.png", "earlier session\n");
  write_file(pictures / "frame-000009.png", "earlier session\n");
  write_file(pictures / "notes.txt", "mine\n");
  const std::string run = kProgram + " --headless --frames 1 --png " + path("pictures");

  const CommandResult refused = run_shell(run);
  EXPECT_EQ(refused.status, 2) << refused.output;
  EXPECT_EQ(refused.output, "velmar_stable_fluids: --png " + pictures.string() +
                                ": the folder holds pictures (frame-*.png); add --overwrite "
                                "to replace them\n");
  EXPECT_EQ(read_file(pictures / "frame-000001.png"), "earlier session\n");

  const CommandResult replaced = run_shell(run + " --overwrite");
  EXPECT_EQ(replaced.status, 0) << replaced.output;
  EXPECT_EQ(read_file(pictures / "frame-000001.png").substr(1, 3), "PNG");
  EXPECT_FALSE(fs::exists(pictures / "frame-000009.png")) << "no picture of the earlier session";
  EXPECT_EQ(read_file(pictures / "notes.txt"), "mine\n") << "only pictures are replaced";
}

TEST_F(ProgramRun, ALongHeadlessRunShowsItsProgressOnATerminalOnlyAndClearsIt) {
  write_file(dir_ / "paused.rec", kPausedAtOnce);
  write_file(dir_ / "escape.rec", kPausedAtOnce + "40 key 27 0 0\n");
  for (const char* recording : {"paused.rec", "escape.rec"}) {
    SCOPED_TRACE(recording);
    const std::string run =
        kProgram + " --headless --frames 2000 --checksum --replay " + path(recording);

    const CommandResult to_files = run_shell(run + " 2>" + path("err") + " >" + path("out"));
    EXPECT_EQ(to_files.status, 0) << to_files.output;
    const std::string err = read_file(dir_ / "err");
    EXPECT_TRUE(err.starts_with("checksum ") && err.find('\n') == err.size() - 1) << err;

    // script(1) gives the program a terminal; what the terminal received comes back.
    const CommandResult on_terminal =
        run_shell("script -q -e -c " + shell_quoted(run) + " /dev/null");
    EXPECT_EQ(on_terminal.status, 0) << on_terminal.output;
    const std::string& shown = on_terminal.output;
    EXPECT_NE(shown.find("\rvelmar_stable_fluids: frame 0 of 2000"), std::string::npos) << shown;
    // After the last progress: blanks over the whole line, back to its start, then the checksum.
    const std::size_t last = shown.rfind(" of 2000");
    const std::size_t blanks = shown.find('\r', last) + 1;
    const std::size_t after_blanks = shown.find_first_not_of(' ', blanks);
    ASSERT_NE(after_blanks, std::string::npos) << shown;
    EXPECT_GE(after_blanks - blanks, std::string("velmar_stable_fluids: frame 0 of 2000").size());
    EXPECT_EQ(shown.substr(after_blanks, 10), "\rchecksum ") << "the line is cleared: " << shown;
  }
}

TEST_F(ProgramRun, WithoutADisplayTheAdviceNamesXvfbRunAndBothHeadlessRuns) {
  const CommandResult result = run_shell("env -u DISPLAY " + kProgram);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output,
            "velmar_stable_fluids: cannot open an X display (DISPLAY is not set); run it under a "
            "virtual X server, e.g. xvfb-run velmar_stable_fluids, or with --headless --replay "
            "FILE or --headless --frames N\n");
}

// xvfb-run needs xauth, which a bare Debian lacks; scripts/install-deps.sh installs both.
TEST_F(ProgramRun, UnderXvfbRunTheWindowRunsAndASoftwareRendererHintsAtTheLayers) {
  if (!on_path("xvfb-run")) {
    if (!on_path("dpkg")) GTEST_SKIP() << "not Debian: scripts/install-deps.sh cannot add xvfb";
    FAIL() << "xvfb-run is missing: run scripts/install-deps.sh";
  }
  write_file(dir_ / "escape.rec", "velmar-recording 1\n3 key 27 0 0\n");
  for (const char* drawing : {"cells", "layers"}) {
    SCOPED_TRACE(drawing);
    // -a: a free display number, tried again if another server takes it first.
    const CommandResult result =
        run_shell("xvfb-run -a -s '-screen 0 1024x768x24 -nolisten tcp' " + kProgram +
                  " --draw=" + drawing + " --checksum --replay " + path("escape.rec"));
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find("checksum "), std::string::npos) << result.output;
    const bool hinted = result.output.find("draws in software: --draw=layers draws the same "
                                           "views several times faster\n") != std::string::npos;
    EXPECT_EQ(hinted, std::string(drawing) == "cells") << result.output;
  }
}

}  // namespace
