#include "session_recorder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "program_messages.h"
#include "recording_format.h"
#include "session_failure.h"

namespace {

int recording = -1;
std::string recording_path;
off_t whole_lines_end = 0;  // the file up to here holds complete lines only

// One write per line, straight to the file: nothing waits in a buffer. A line that cannot be
// written whole is cut off again, so the recording stays readable up to the last good event.
bool append_line(std::string line) {
  line += '\n';
  const ssize_t written = ::write(recording, line.data(), line.size());
  if (written == static_cast<ssize_t>(line.size())) {
    whole_lines_end += written;
    return true;
  }
  const int error = written < 0 ? errno : ENOSPC;
  if (written > 0) (void)::ftruncate(recording, whole_lines_end);
  errno = error;
  return false;
}

void report(std::FILE* err, const std::string& path, const char* why) {
  print_message(err, "--record %s: %s", path.c_str(), why);
}

}  // namespace

bool recording_path_usable(const std::string& path, bool overwrite, std::FILE* err) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    if (!overwrite) {
      report(err, path, "the file exists; add --overwrite to replace it");
      return false;
    }
    if (S_ISDIR(status.st_mode)) errno = EISDIR;
    if (S_ISDIR(status.st_mode) || ::access(path.c_str(), W_OK) != 0) {
      report(err, path, std::strerror(errno));
      return false;
    }
    return true;
  }
  if (errno != ENOENT) {
    report(err, path, std::strerror(errno));
    return false;
  }
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) != 0) {
    report(err, path, std::strerror(errno));
    return false;
  }
  return true;
}

bool start_recording(const std::string& path, bool overwrite,
                     const std::optional<SimulationSettings>& settings, std::FILE* err) {
  // O_EXCL: an existing recording is never replaced by accident, not even one made meanwhile.
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (overwrite ? O_TRUNC : O_EXCL);
  recording = ::open(path.c_str(), flags, 0644);
  if (recording < 0) {
    report(err, path,
           errno == EEXIST ? "the file exists; add --overwrite to replace it" : std::strerror(errno));
    return false;
  }
  recording_path = path;
  if (!append_line(std::string(kRecordingHeader)) ||
      (settings && !append_line(format_settings(*settings)))) {
    report(err, path, std::strerror(errno));
    return false;
  }
  return true;
}

void record_event(const InputEvent& event) {
  if (recording < 0) return;
  if (!append_line(format_event(event))) {
    const int error = errno;
    ::close(recording);
    recording = -1;
    fail_session("writing the recording %s failed: %s", recording_path.c_str(),
                 std::strerror(error));
  }
}
