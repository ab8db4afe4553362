#include "picture_export.h"

#include <GL/gl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "fluid_state.h"
#include "png_file.h"
#include "program_messages.h"
#include "session_failure.h"

namespace {

// The largest picture: a frame of 4096 x 4096 pixels (the starting size at the finest grid),
// drawn off screen, read back and written, takes 0.2 to 0.35 s on two cores under the
// software renderer.
// Larger ones cost seconds and gigabytes a frame, and a software renderer asked to draw a
// surface of 32767 a side faults in its own threads.
constexpr int kLargestPictureSide = 16384;
constexpr std::int64_t kMostPicturePixels = std::int64_t{4096} * 4096;

std::string picture_folder;
std::int64_t picture_every = 0;
std::vector<unsigned char> pixels;  // kept between frames: no allocation once it has its size
bool told_too_large = false;
bool old_pictures_to_remove = false;  // --overwrite found pictures of an earlier session
std::vector<std::filesystem::path> created_folders;  // by start_picture_export, deepest first

std::string picture_path(std::int64_t number) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(number));
  return (std::filesystem::path(picture_folder) / name).string();
}

// The files a session of pictures writes: frame-*.png.
bool is_picture_name(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  return name.size() >= 10 && name.starts_with("frame-") && name.ends_with(".png");
}

// The pictures an earlier session left in `folder`.
std::vector<std::filesystem::path> pictures_in(const std::string& folder,
                                               std::error_code& error) {
  std::vector<std::filesystem::path> pictures;
  for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
       entry.increment(error)) {
    if (is_picture_name(entry->path())) pictures.push_back(entry->path());
  }
  return pictures;
}

void remove_old_pictures() {
  std::error_code error;
  for (const std::filesystem::path& picture : pictures_in(picture_folder, error)) {
    if (error || !std::filesystem::remove(picture, error)) break;
  }
  if (error) {
    fail_session("removing the earlier pictures in %s failed: %s", picture_folder.c_str(),
                 error.message().c_str());
  }
}

}  // namespace

bool start_picture_export(const std::string& folder, std::int64_t every, bool overwrite,
                          std::FILE* err) {
  std::error_code error;
  // The folders about to be made, deepest first, so that a session that never begins leaves
  // none behind.
  created_folders.clear();
  for (std::filesystem::path missing = std::filesystem::absolute(folder, error);
       !error && !missing.empty() && !std::filesystem::exists(missing, error);
       missing = missing.parent_path()) {
    created_folders.push_back(missing);
    if (missing == missing.parent_path()) break;
  }
  std::filesystem::create_directories(folder, error);
  if (!error && !std::filesystem::is_directory(folder, error)) {
    error = std::make_error_code(std::errc::not_a_directory);
  }
  const bool has_pictures = !error && !pictures_in(folder, error).empty();
  if (has_pictures && !overwrite) {
    print_message(err, "--png %s: the folder holds pictures (frame-*.png); add --overwrite to "
                  "replace them", folder.c_str());
    return false;
  }
  // Only writing a file proves the folder writable (read-only mounts, full disks, ACLs).
  const std::string probe = (std::filesystem::path(folder) / ".velmar-write-probe").string();
  if (!error) {
    std::FILE* file = std::fopen(probe.c_str(), "wb");
    if (file == nullptr || std::fputc('\n', file) == EOF || std::fclose(file) != 0) {
      error = std::error_code(errno, std::generic_category());
    }
    std::remove(probe.c_str());
  }
  if (error) {
    print_message(err, "--png %s: %s", folder.c_str(), error.message().c_str());
    return false;
  }
  picture_folder = folder;
  picture_every = every;
  old_pictures_to_remove = has_pictures;
  return true;
}

bool picture_export_on() { return picture_every > 0; }

void withdraw_picture_export() {
  picture_every = 0;
  std::error_code ignored;
  for (const std::filesystem::path& made : created_folders) {
    if (!std::filesystem::remove(made, ignored)) break;  // not empty: kept, with those above it
  }
  created_folders.clear();
}

bool picture_size_allowed(int width, int height) {
  GLint largest[2] = {kLargestPictureSide, kLargestPictureSide};
  glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
  const int widest = std::min(kLargestPictureSide, static_cast<int>(largest[0]));
  const int highest = std::min(kLargestPictureSide, static_cast<int>(largest[1]));
  if (width <= widest && height <= highest &&
      std::int64_t{width} * height <= kMostPicturePixels) {
    return true;
  }
  if (!told_too_large) {
    print_message(stderr, "no pictures of a %d x %d window; pictures resume when it has at most "
                  "%lld pixels, at most %d x %d", width, height,
                  static_cast<long long>(kMostPicturePixels), widest, highest);
    told_too_large = true;
  }
  return false;
}

void export_picture_if_due(std::int64_t frames_drawn_with_this_one) {
  if (!picture_export_on() || frames_drawn_with_this_one % picture_every != 0) return;
  const int width = fluid.window_width;
  const int height = fluid.window_height;
  if (width <= 0 || height <= 0 || !picture_size_allowed(width, height)) return;
  pixels.resize(static_cast<std::size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
  if (old_pictures_to_remove) {
    remove_old_pictures();
    old_pictures_to_remove = false;
  }
  const std::string path = picture_path(frames_drawn_with_this_one / picture_every);
  std::string error;
  if (!write_png_file(path, width, height, pixels.data(), error)) {
    fail_session("writing the picture %s failed: %s", path.c_str(), error.c_str());
  }
}
