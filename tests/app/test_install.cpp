// The program as installed: make run passing options, make install under PREFIX and DESTDIR,
// the Debian package from make package (its files, its dependencies, installed into a
// throwaway root and removed again), and the manual page written from --help.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include "shell_command.h"

namespace {

namespace fs = std::filesystem;

const std::string kManualPage = "share/man/man1/velmar_stable_fluids.1.gz";
const std::string kMenuEntry = "share/applications/velmar-stable-fluids.desktop";
const std::string kIcon = "share/icons/hicolor/128x128/apps/velmar-stable-fluids.png";

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// make at the top of the source tree, on this build and without building again. The
// variables of an outer make (the jobserver of make test) are not this one's, and no display:
// a program that missed its options fails at once instead of opening a window.
CommandResult make(const std::string& target_and_variables, int seconds = 120) {
  return run_shell("env -u MAKEFLAGS -u MFLAGS -u MAKELEVEL -u DISPLAY make --no-print-directory "
                   "-o build -C " + shell_quoted(VELMAR_SOURCE_DIR) +
                   " BUILD=" + shell_quoted(VELMAR_BUILD_DIR) + " " + target_and_variables,
                   seconds);
}

// The files under `root`, as paths relative to it.
std::set<std::string> files_under(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_directory()) files.insert(fs::relative(entry.path(), root).string());
  }
  return files;
}

class Installed : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string dir_template = fs::temp_directory_path() / "velmar-install-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template.data()), nullptr);
    dir_ = dir_template;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  fs::path dir_;
};

TEST_F(Installed, MakeRunPassesArgsToTheProgram) {
  const CommandResult result = make("-s run ARGS='--headless --frames 3 --checksum'");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_TRUE(result.output.starts_with("checksum ")) << result.output;
}

TEST_F(Installed, MakeInstallPutsTheProgramManualValidMenuEntryAndIconUnderPrefixInDestdir) {
  for (const std::string& prefix : std::initializer_list<std::string>{"", "/opt/velmar"}) {
    SCOPED_TRACE(prefix);
    const fs::path root = dir_ / ("root" + std::to_string(prefix.size()));
    const std::string variables =
        "DESTDIR=" + shell_quoted(root) + (prefix.empty() ? "" : " PREFIX=" + prefix);
    const CommandResult result = make("install " + variables);
    ASSERT_EQ(result.status, 0) << result.output;
    const fs::path installed = root / (prefix.empty() ? "usr/local" : prefix.substr(1));
    EXPECT_EQ(files_under(root),
              (std::set<std::string>{fs::relative(installed / "bin/velmar_stable_fluids", root),
                                     fs::relative(installed / kManualPage, root),
                                     fs::relative(installed / kMenuEntry, root),
                                     fs::relative(installed / kIcon, root)}));
    const CommandResult version =
        run_shell(shell_quoted(installed / "bin/velmar_stable_fluids") + " --version");
    EXPECT_EQ(version.output, "velmar_stable_fluids 1.0.0\n");
    const CommandResult entry = run_shell("desktop-file-validate " +
                                          shell_quoted(installed / kMenuEntry));
    EXPECT_EQ(entry.status, 0);
    EXPECT_EQ(entry.output, "") << "the menu entry's faults and hints";
    // make uninstall takes away every file make install laid out, and its manifest.
    const CommandResult removed = make("uninstall");
    ASSERT_EQ(removed.status, 0) << removed.output;
    EXPECT_EQ(files_under(root), std::set<std::string>{});
    EXPECT_FALSE(fs::exists(fs::path(VELMAR_BUILD_DIR) / "installed-files.txt"));
  }
  EXPECT_NE(make("uninstall").status, 0) << "nothing installed: said so, not success";
}

TEST_F(Installed, ThePackageHoldsTheFilesAndDependsOnTheLibrariesTheProgramLinks) {
  // Making the package leaves the manifest of the last make install as it was.
  ASSERT_EQ(make("install DESTDIR=" + shell_quoted(dir_ / "staged")).status, 0);
  const fs::path build = VELMAR_BUILD_DIR;
  const std::string manifest = read_file(build / "install_manifest.txt");
  const std::string installed = read_file(build / "installed-files.txt");
  const CommandResult built = make("package PACKAGES=" + shell_quoted(dir_), 300);
  ASSERT_EQ(built.status, 0) << built.output;
  EXPECT_EQ(read_file(build / "install_manifest.txt"), manifest);
  EXPECT_EQ(read_file(build / "installed-files.txt"), installed);
  EXPECT_EQ(make("uninstall").status, 0);
  EXPECT_EQ(files_under(dir_ / "staged"), std::set<std::string>{});
  std::vector<std::string> packages;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    if (entry.path().extension() == ".deb") packages.push_back(entry.path().filename());
  }
  ASSERT_EQ(packages.size(), 1u) << built.output;
  EXPECT_TRUE(packages[0].starts_with("velmar-stable-fluids_1.0.0_")) << packages[0];
  const std::string deb = shell_quoted(dir_ / packages[0]);
  const CommandResult fields =
      run_shell("dpkg-deb --field " + deb + " Package Version Maintainer Description Depends");
  ASSERT_EQ(fields.status, 0) << fields.output << built.output;
  EXPECT_NE(fields.output.find("Package: velmar-stable-fluids\nVersion: 1.0.0\nMaintainer: "
                               "Velmar Stable Fluids <velmar-stable-fluids@example.org>\n"),
            std::string::npos) << fields.output;
  // The long description is the README's first paragraph.
  const std::string readme = read_file(fs::path(VELMAR_SOURCE_DIR) / "README.md");
  const std::size_t first = readme.find("\n\n") + 2;
  const std::string opening = readme.substr(first, readme.find('\n', first) - first);
  EXPECT_NE(fields.output.find("\n " + opening + "\n"), std::string::npos) << fields.output;
  for (const char* library : {"libc6", "libstdc++6", "libglut3.12", "libopengl0", "libegl1",
                              "libx11-6", "libpng16-16"}) {
    EXPECT_NE(fields.output.find(std::string(" ") + library), std::string::npos) << library;
  }
  const CommandResult contents = run_shell("dpkg-deb --contents " + deb);
  for (const std::string& file : {std::string("bin/velmar_stable_fluids"), kManualPage,
                                 kMenuEntry, kIcon}) {
    EXPECT_NE(contents.output.find(" ./usr/" + file + "\n"), std::string::npos) << file;
  }

  // Installed into an empty root with dpkg's own bookkeeping (its dependencies are this
  // machine's, not the root's), the program runs; removed, it leaves nothing behind.
  const fs::path root = dir_ / "root";
  fs::create_directories(root / "var/lib/dpkg/info");
  fs::create_directories(root / "var/lib/dpkg/updates");
  std::ofstream(root / "var/lib/dpkg/status");
  const std::string dpkg = "dpkg --force-not-root --force-depends --log=/dev/null --root=" +
                           shell_quoted(root);
  const CommandResult install = run_shell(dpkg + " --install " + deb);
  ASSERT_EQ(install.status, 0) << install.output;
  const CommandResult run = run_shell(shell_quoted(root / "usr/bin/velmar_stable_fluids") +
                                      " --headless --frames 2 --checksum");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(run.output.starts_with("checksum ")) << run.output;
  const CommandResult remove = run_shell(dpkg + " --remove velmar-stable-fluids");
  ASSERT_EQ(remove.status, 0) << remove.output;
  for (const std::string& left : files_under(root)) {
    EXPECT_TRUE(left.starts_with("var/lib/dpkg/")) << left;
  }
  EXPECT_FALSE(fs::exists(root / "usr"));
}

TEST_F(Installed, TheManualPageHasTheOptionsKeysMouseRecordingAndExitStatusesAndRendersCleanly) {
  const std::string page = read_file(VELMAR_MANUAL_PAGE);
  for (const char* heading : {".SH OPTIONS", ".SH MOUSE", ".SH KEYS", ".SH \"RECORDING FORMAT\"",
                              ".SH \"EXIT STATUS\"", ".SH EXAMPLES"}) {
    EXPECT_NE(page.find(std::string("\n") + heading + "\n"), std::string::npos) << heading;
  }
  for (const char* option : {"\\-\\-draw", "\\-\\-record", "\\-\\-overwrite", "\\-\\-replay",
                             "\\-\\-headless", "\\-\\-frames", "\\-\\-checksum", "\\-\\-png",
                             "\\-\\-every", "\\-\\-guard", "\\-\\-workers", "\\-\\-grid",
                             "\\-\\-dt", "\\-\\-diff", "\\-\\-visc"}) {
    EXPECT_NE(page.find(std::string("\\fB") + option + "\\fR"), std::string::npos) << option;
  }
  EXPECT_EQ(page.find("Mouse:"), std::string::npos) << "the help's short table, once more";
  const CommandResult rendered =
      run_shell("groff -man -Tutf8 -ww -z " + shell_quoted(VELMAR_MANUAL_PAGE));
  EXPECT_EQ(rendered.status, 0);
  EXPECT_EQ(rendered.output, "") << "groff's warnings";
}

}  // namespace
