#include "offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <algorithm>

#include "program_messages.h"

namespace {

EGLDisplay display = EGL_NO_DISPLAY;
EGLConfig config = nullptr;
EGLContext context = EGL_NO_CONTEXT;
EGLSurface surface = EGL_NO_SURFACE;

EGLSurface make_surface(int width, int height) {
  // A pbuffer cannot be empty; a collapsed window draws nothing anyway.
  const EGLint attributes[] = {EGL_WIDTH, std::max(width, 1), EGL_HEIGHT, std::max(height, 1),
                               EGL_NONE};
  return eglCreatePbufferSurface(display, config, attributes);
}

// Exactly 8 bits a channel, as the window's visual has: EGL lists deeper configurations
// first, and a 10-bit surface rounds faint colours differently when read back as bytes.
bool choose_8_bit_config() {
  const EGLint wanted[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                           EGL_BLUE_SIZE, 8, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig candidates[64];
  EGLint found = 0;
  if (!eglChooseConfig(display, wanted, candidates, 64, &found)) return false;
  for (EGLint k = 0; k < found; ++k) {
    EGLint red = 0, green = 0, blue = 0;
    eglGetConfigAttrib(display, candidates[k], EGL_RED_SIZE, &red);
    eglGetConfigAttrib(display, candidates[k], EGL_GREEN_SIZE, &green);
    eglGetConfigAttrib(display, candidates[k], EGL_BLUE_SIZE, &blue);
    if (red == 8 && green == 8 && blue == 8) {
      config = candidates[k];
      return true;
    }
  }
  return false;
}

bool fail(std::FILE* err, const char* what) {
  print_message(err, "no off-screen OpenGL for --png: %s (EGL error 0x%x)", what,
                static_cast<unsigned>(eglGetError()));
  return false;
}

}  // namespace

bool open_offscreen_context(int width, int height, std::FILE* err) {
  const auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (get_platform_display == nullptr) return fail(err, "EGL has no platform displays");
  // Surfaceless: no X connection, whatever DISPLAY says.
  display = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
    return fail(err, "EGL cannot be initialised");
  }
  if (!eglBindAPI(EGL_OPENGL_API)) return fail(err, "EGL offers no desktop OpenGL");
  if (!choose_8_bit_config()) return fail(err, "no 8-bit RGB pbuffer configuration");
  context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
  if (context == EGL_NO_CONTEXT) return fail(err, "the context cannot be created");
  surface = make_surface(width, height);
  if (surface == EGL_NO_SURFACE) return fail(err, "the surface cannot be created");
  if (!eglMakeCurrent(display, surface, surface, context)) {
    return fail(err, "the context cannot be made current");
  }
  return true;
}

bool resize_offscreen_surface(int width, int height) {
  const EGLSurface resized = make_surface(width, height);
  if (resized == EGL_NO_SURFACE) return false;
  if (!eglMakeCurrent(display, resized, resized, context)) {
    eglDestroySurface(display, resized);
    return false;
  }
  eglDestroySurface(display, surface);
  surface = resized;
  return true;
}
