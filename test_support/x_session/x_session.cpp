#include "x_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xdamage.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <random>
#include <thread>

extern char** environ;

using namespace std::chrono_literals;

// Builds that run the program many times slower (ThreadSanitizer) stretch every wait by the
// whole factor in VELMAR_TEST_PATIENCE.
int patience() {
  const char* factor = std::getenv("VELMAR_TEST_PATIENCE");
  const int value = factor != nullptr ? std::atoi(factor) : 1;
  return value >= 1 && value <= 100 ? value : 1;
}

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout * patience();
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

bool ChildProcess::start(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extra_env, const std::string& output_path,
                         const std::string& error_path, int inherited_fd) {
  // Everything the child needs is built before fork: only async-signal-safe calls after it.
  std::vector<std::string> env_strings = extra_env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view name(*entry, std::strcspn(*entry, "="));
    bool overridden = false;
    for (const auto& extra : extra_env) overridden |= extra.starts_with(std::string(name) + "=");
    if (!overridden) env_strings.emplace_back(*entry);
  }
  std::vector<char*> envp;
  for (auto& entry : env_strings) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::vector<std::string> argv_strings = argv;
  std::vector<char*> args;
  for (auto& arg : argv_strings) args.push_back(arg.data());
  args.push_back(nullptr);

  const int out = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return false;
  const bool separate_errors = !error_path.empty() && error_path != output_path;
  const int err = separate_errors
                      ? open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                      : error_path.empty() ? STDERR_FILENO : out;
  if (err < 0) {
    close(out);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (inherited_fd >= 0) fcntl(inherited_fd, F_SETFD, 0);
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  close(out);
  if (separate_errors) close(err);
  if (pid < 0) return false;
  pid_ = pid;
  return true;
}

bool ChildProcess::wait_exit(std::chrono::milliseconds timeout, int* status, long* peak_kib) {
  if (pid_ <= 0) return false;
  rusage usage{};
  const bool exited =
      wait_until([&] { return wait4(pid_, status, WNOHANG, &usage) == pid_; }, timeout);
  if (exited) pid_ = -1;
  if (exited && peak_kib != nullptr) *peak_kib = usage.ru_maxrss;
  return exited;
}

void ChildProcess::kill_and_reap() {
  if (pid_ <= 0) return;
  // SIGTERM first so Xvfb removes its lock file and socket; SIGKILL if that is not enough.
  kill(pid_, SIGTERM);
  int status = 0;
  if (!wait_exit(2s, &status)) {
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
}

namespace {

// The pid in X's lock file for `display`, or -1.
pid_t lock_holder(int display) {
  std::FILE* lock = std::fopen(("/tmp/.X" + std::to_string(display) + "-lock").c_str(), "r");
  if (lock == nullptr) return -1;
  long pid = -1;
  if (std::fscanf(lock, "%ld", &pid) != 1) pid = -1;
  std::fclose(lock);
  return static_cast<pid_t>(pid);
}

bool display_taken(int display) {
  const std::string number = std::to_string(display);
  return access(("/tmp/.X" + number + "-lock").c_str(), F_OK) == 0 ||
         access(("/tmp/.X11-unix/X" + number).c_str(), F_OK) == 0;
}

}  // namespace

bool XvfbServer::start(const std::string& log_path) {
  std::random_device seed;
  std::mt19937 pick(seed());
  std::uniform_int_distribution<int> numbers(200, 999);
  for (int attempt = 0; attempt < 20; ++attempt) {
    const int display = numbers(pick);
    if (display_taken(display)) continue;
    std::string name = ":";
    name += std::to_string(display);
    // An explicit number, so that Xvfb takes X's lock file, which other servers and xvfb-run
    // honour (one started with -displayfd writes none, and its number can be taken from it
    // later). -noreset: no reset, refusing connections, each time the last client leaves.
    // The screen holds every window size the tests resize to, 1000 x 300 and 333 x 777
    // included; a capture of a window reaching past the screen fails.
    if (!process_.start({XVFB_PATH, name, "-noreset", "-screen", "0", "1280x1024x24",
                         "-nolisten", "tcp"},
                        {}, log_path, log_path)) {
      return false;
    }
    // Up once it accepts connections; gone at once when another server holds the number.
    const bool up = wait_until(
        [&] {
          int status = 0;
          if (process_.wait_exit(0ms, &status)) return true;
          Display* connection = XOpenDisplay(name.c_str());
          if (connection == nullptr) return false;
          XCloseDisplay(connection);
          return true;
        },
        10s);
    // Ours only while the lock names our server.
    if (up && process_.running() && lock_holder(display) == process_.pid()) {
      display_name_ = name;
      return true;
    }
    process_.kill_and_reap();
  }
  return false;
}

int Capture::count(std::uint32_t rgb) const {
  int n = 0;
  for (const auto pixel : pixels) n += pixel == rgb;
  return n;
}

namespace {

// A test must survive a request on a window that has just gone away; the failing check says
// what went wrong instead.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

std::uint32_t channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  const unsigned long value = (pixel & mask) >> std::countr_zero(mask);
  const unsigned long top = mask >> std::countr_zero(mask);
  return static_cast<std::uint32_t>(value * 255 / top);
}

}  // namespace

XClient::~XClient() {
  if (display_ == nullptr) return;
  if (damage_ != 0) XDamageDestroy(display_, damage_);
  XCloseDisplay(display_);
}

bool XClient::connect(const std::string& display_name) {
  XSetErrorHandler(ignore_x_error);
  display_ = XOpenDisplay(display_name.c_str());
  if (display_ == nullptr) return false;
  int event_base, error_base, major, minor;
  return XTestQueryExtension(display_, &event_base, &error_base, &major, &minor) == True &&
         XDamageQueryExtension(display_, &damage_event_base_, &error_base) == True;
}

bool XClient::attach_to_window(const std::string& title, std::chrono::milliseconds timeout) {
  const Window root = DefaultRootWindow(display_);
  const bool found = wait_until(
      [&] {
        Window root_return, parent_return, *children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display_, root, &root_return, &parent_return, &children, &count) == 0) {
          return false;
        }
        for (unsigned k = 0; k < count && window_ == 0; ++k) {
          char* name = nullptr;
          XWindowAttributes attributes;
          if (XFetchName(display_, children[k], &name) != 0 && name != nullptr) {
            if (title == name && XGetWindowAttributes(display_, children[k], &attributes) != 0 &&
                attributes.map_state == IsViewable) {
              window_ = children[k];
            }
            XFree(name);
          }
        }
        if (children != nullptr) XFree(children);
        return window_ != 0;
      },
      timeout);
  if (!found) return false;
  XMoveWindow(display_, window_, 0, 0);
  XSync(display_, False);
  const bool placed = wait_until(
      [&] {
        XWindowAttributes attributes;
        return XGetWindowAttributes(display_, window_, &attributes) != 0 && attributes.x == 0 &&
               attributes.y == 0;
      },
      timeout);
  // Real key events are lost while the focus follows a pointer outside the window.
  XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
  XSync(display_, False);
  return placed;
}

void XClient::move_pointer(int x, int y) {
  XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
  XSync(display_, False);
}

void XClient::press_button(int button) {
  XTestFakeButtonEvent(display_, static_cast<unsigned>(button), True, CurrentTime);
  XSync(display_, False);
}

void XClient::release_button(int button) {
  XTestFakeButtonEvent(display_, static_cast<unsigned>(button), False, CurrentTime);
  XSync(display_, False);
}

void XClient::click(int button, int x, int y) {
  move_pointer(x, y);
  press_button(button);
  release_button(button);
}

void XClient::tap_keycode(unsigned keycode, bool shifted) {
  const unsigned shift = XKeysymToKeycode(display_, XK_Shift_L);
  if (shifted) XTestFakeKeyEvent(display_, shift, True, CurrentTime);
  XTestFakeKeyEvent(display_, keycode, True, CurrentTime);
  XTestFakeKeyEvent(display_, keycode, False, CurrentTime);
  if (shifted) XTestFakeKeyEvent(display_, shift, False, CurrentTime);
  XSync(display_, False);
}

void XClient::type(char character) {
  const auto lower = static_cast<KeySym>(std::tolower(static_cast<unsigned char>(character)));
  const KeySym symbol = character == ' ' ? XK_space : lower;
  tap_keycode(XKeysymToKeycode(display_, symbol),
              std::isupper(static_cast<unsigned char>(character)));
}

void XClient::type_escape() { tap_keycode(XKeysymToKeycode(display_, XK_Escape), false); }

bool XClient::resize(int width, int height) {
  XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(display_, False);
  return wait_until(
      [&] {
        XWindowAttributes attributes;
        return XGetWindowAttributes(display_, window_, &attributes) != 0 &&
               attributes.width == width && attributes.height == height;
      },
      std::chrono::seconds(5));
}

bool XClient::wait_for_frames(int frames, std::chrono::milliseconds timeout) {
  if (damage_ == 0) {
    // Each rectangle a drawing touches is one event, the last without `more`: a swap counts
    // once. Created after the window was placed, so that move counts not at all.
    damage_ = XDamageCreate(display_, window_, XDamageReportRawRectangles);
  }
  // Events of frames shown before this call are read now, so they count as old ones.
  XSync(display_, False);
  const long target = frames_shown() + frames;
  return wait_until([&] { return frames_shown() >= target; }, timeout);
}

long XClient::frames_shown() {
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == damage_event_base_ + XDamageNotify &&
        !reinterpret_cast<const XDamageNotifyEvent&>(event).more) {
      ++frames_shown_;
    }
  }
  return frames_shown_;
}

Capture XClient::capture() {
  Capture result;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display_, window_, &attributes) == 0) return result;
  XImage* image = XGetImage(display_, window_, 0, 0, static_cast<unsigned>(attributes.width),
                            static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
  if (image == nullptr) return result;
  result.width = attributes.width;
  result.height = attributes.height;
  result.pixels.reserve(static_cast<std::size_t>(result.width) * result.height);
  for (int y = 0; y < result.height; ++y) {
    for (int x = 0; x < result.width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      result.pixels.push_back(channel(pixel, image->red_mask) << 16 |
                              channel(pixel, image->green_mask) << 8 |
                              channel(pixel, image->blue_mask));
    }
  }
  XDestroyImage(image);
  return result;
}
