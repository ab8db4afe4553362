// Test helpers that run real processes in a real X server: a private Xvfb, the program under
// test, XTest input and window captures read back with XGetImage.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Polls `condition` every 20 ms until it holds or `timeout` passes; true when it held. Every
// wait in the window tests goes through here, so VELMAR_TEST_PATIENCE stretches them all: the
// timeout is multiplied by it (a build that runs the program slower sets it).
bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Frames to wait for before one begun after the call (after input just sent, say) is surely on
// screen: a frame or two already under way may show first.
inline constexpr int kFramesUntilShown = 3;

// A child process, killed and reaped on destruction if it is still running. Children also die
// with the test process, so a crashed test leaves nothing behind.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() { kill_and_reap(); }

  // Starts `argv` with the test's environment plus `extra_env` ("NAME=value"), standard output
  // to `output_path`, standard error to `error_path` (the test's own when empty; one file for
  // both when the paths are equal), and `inherited_fd` (if not -1) left open in the child.
  bool start(const std::vector<std::string>& argv, const std::vector<std::string>& extra_env,
             const std::string& output_path, const std::string& error_path = {},
             int inherited_fd = -1);
  // Waits for the exit and stores the waitpid status, and the child's peak resident memory in
  // KiB when asked; false on timeout.
  bool wait_exit(std::chrono::milliseconds timeout, int* status, long* peak_kib = nullptr);
  void kill_and_reap();
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// A private Xvfb on a display number nobody else serves or has locked, taken under X's lock
// file and checked to be its own, so parallel tests and other servers never collide.
class XvfbServer {
 public:
  bool start(const std::string& log_path);
  const std::string& display_name() const { return display_name_; }

 private:
  ChildProcess process_;
  std::string display_name_;
};

// An RGB capture, pixels as 0xRRGGBB, row 0 at the top.
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  // Black outside the capture, as when the window has gone.
  std::uint32_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
  bool operator==(const Capture&) const = default;
  // Pixels of exactly this colour.
  int count(std::uint32_t rgb) const;
};

// A client connection that finds a top-level window by title, drives it with XTest and
// captures it.
class XClient {
 public:
  XClient() = default;
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;
  ~XClient();

  bool connect(const std::string& display_name);
  // Waits for a viewable window titled `title`, moves it to the screen's origin (without a
  // window manager it starts at (-1, -1), which would clip a capture) and gives it the focus.
  bool attach_to_window(const std::string& title, std::chrono::milliseconds timeout);

  // Pointer positions are window pixels; the window sits at the screen's origin.
  void move_pointer(int x, int y);
  void press_button(int button);  // X numbering: 1 left, 2 middle, 3 right
  void release_button(int button);
  void click(int button, int x, int y);
  // Types one character; upper-case letters are typed with Shift held.
  void type(char character);
  void type_escape();

  // Resizes the window and waits until the server reports the new size.
  bool resize(int width, int height);

  // Waits until the window has shown `frames` more frames than when called; false on timeout.
  // A frame counts when the program puts its picture into the window (its buffer swap), so
  // paused frames count too and a window too large to draw shows none.
  bool wait_for_frames(int frames, std::chrono::milliseconds timeout = std::chrono::seconds(10));

  Capture capture();

 private:
  void tap_keycode(unsigned keycode, bool shifted);
  // Frames shown since the first wait_for_frames, counted from the damage events read so far.
  long frames_shown();

  struct _XDisplay* display_ = nullptr;
  unsigned long window_ = 0;
  int damage_event_base_ = 0;
  unsigned long damage_ = 0;  // created on the first wait, so that other clients pay nothing
  long frames_shown_ = 0;
};
