// SPDX-License-Identifier: MIT
// zvd-xwin: a small X11 helper for scripts and tests that drive a program from outside.
//   zvd-xwin wait TITLE TIMEOUT_MS         print the id of the first viewable top-level
//                                          window titled TITLE; exit 1 on time-out
//   zvd-xwin pixel ID X Y                  print the colour at (X, Y) of window ID as rrggbb
//   zvd-xwin wait-pixel ID X Y RRGGBB TIMEOUT_MS
//                                          wait until that pixel has that colour (with !RRGGBB:
//                                          any other colour); exit 1 on time-out
//   zvd-xwin wait-ink ID X Y W H TIMEOUT_MS
//                                          wait until the rectangle shows dark (text) pixels
// On a time-out, wait-pixel and wait-ink say on stderr what they found last and what they wanted.
//   zvd-xwin close ID                      ask window ID to close with a WM_DELETE_WINDOW
//                                          client message, as a window manager does
// Exit status 2 means bad arguments or no display.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

// Ignores errors from windows that vanish between listing and inspecting them.
int ignore_x_error(Display*, XErrorEvent*) {
  return 0;
}

std::string window_title(Display* display, Window window) {
  std::string title;
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, net_name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  char* name = nullptr;
  if (XFetchName(display, window, &name) && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

// Depth-first search below root for a viewable window with the title.
Window find_window(Display* display, Window root, const std::string& title) {
  Window parent = 0, root_return = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, root, &root_return, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && found == 0; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
        window_title(display, children[i]) == title) {
      found = children[i];
    } else {
      found = find_window(display, children[i], title);
    }
  }
  if (children) XFree(children);
  return found;
}

// Reads one pixel as 0xRRGGBB, or -1 when the window cannot be read.
long read_pixel(Display* display, Window window, int x, int y) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return -1;
  if (x < 0 || y < 0 || x >= attributes.width || y >= attributes.height) return -1;
  XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return -1;
  const unsigned long pixel = XGetPixel(image, 0, 0);
  auto channel = [pixel](unsigned long mask) {
    if (mask == 0) return 0ul;
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) ++shift;
    const unsigned long max = mask >> shift;
    return ((pixel & mask) >> shift) * 255 / max;
  };
  const long rgb = static_cast<long>((channel(image->red_mask) << 16) | (channel(image->green_mask) << 8) |
                                     channel(image->blue_mask));
  XDestroyImage(image);
  return rgb;
}

// True when the rectangle holds a pixel whose channels are all below 0x60 (drawn text).
bool has_ink(Display* display, Window window, int x, int y, int width, int height) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return false;
  if (x < 0 || y < 0 || width <= 0 || height <= 0 || x + width > attributes.width ||
      y + height > attributes.height) {
    return false;
  }
  XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                            AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  bool found = false;
  for (int j = 0; j < height && !found; ++j) {
    for (int i = 0; i < width && !found; ++i) {
      const unsigned long pixel = XGetPixel(image, i, j);
      auto dark = [pixel](unsigned long mask) {
        if (mask == 0) return true;
        int shift = 0;
        while (((mask >> shift) & 1u) == 0) ++shift;
        return ((pixel & mask) >> shift) * 255 / (mask >> shift) < 0x60;
      };
      found = dark(image->red_mask) && dark(image->green_mask) && dark(image->blue_mask);
    }
  }
  XDestroyImage(image);
  return found;
}

// Polls cond until it holds or timeout_ms pass, waking on X traffic or every 10 ms.
bool poll_until(Display* display, int timeout_ms, const std::function<bool()>& cond) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (cond()) return true;
    if (Clock::now() >= deadline) return cond();
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 10);
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
    }
  }
}

bool parse_long(const char* text, long* value) {
  char* end = nullptr;
  *value = std::strtol(text, &end, 0);
  return end != text && *end == '\0';
}

int usage() {
  std::fputs(
      "usage: zvd-xwin wait TITLE TIMEOUT_MS | pixel ID X Y | wait-pixel ID X Y [!]RRGGBB TIMEOUT_MS |\n"
      "       wait-ink ID X Y W H TIMEOUT_MS | close ID\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return usage();
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fputs("zvd-xwin: cannot open the display\n", stderr);
    return 2;
  }
  XSetErrorHandler(ignore_x_error);
  const std::string command = argv[1];
  int status = 2;
  long id = 0, x = 0, y = 0, width = 0, height = 0, colour = 0, timeout = 0;

  if (command == "wait" && argc == 4 && parse_long(argv[3], &timeout)) {
    Window found = 0;
    poll_until(display, static_cast<int>(timeout), [&] {
      found = find_window(display, DefaultRootWindow(display), argv[2]);
      return found != 0;
    });
    if (found != 0) std::printf("%lu\n", found);
    status = found != 0 ? 0 : 1;
  } else if (command == "pixel" && argc == 5 && parse_long(argv[2], &id) && parse_long(argv[3], &x) &&
             parse_long(argv[4], &y)) {
    const long rgb = read_pixel(display, static_cast<Window>(id), static_cast<int>(x), static_cast<int>(y));
    if (rgb >= 0) std::printf("%06lx\n", rgb);
    status = rgb >= 0 ? 0 : 1;
  } else if (command == "wait-pixel" && argc == 7 && parse_long(argv[2], &id) && parse_long(argv[3], &x) &&
             parse_long(argv[4], &y) &&
             parse_long((std::string("0x") + (argv[5][0] == '!' ? argv[5] + 1 : argv[5])).c_str(), &colour) &&
             parse_long(argv[6], &timeout)) {
    const bool differ = argv[5][0] == '!';
    long rgb = -1;
    const bool ok = poll_until(display, static_cast<int>(timeout), [&] {
      rgb = read_pixel(display, static_cast<Window>(id), static_cast<int>(x), static_cast<int>(y));
      return rgb >= 0 && (differ ? rgb != colour : rgb == colour);
    });
    if (!ok && rgb < 0) std::fprintf(stderr, "zvd-xwin: pixel %ld,%ld unreadable (window gone or unmapped)\n", x, y);
    if (!ok && rgb >= 0)
      std::fprintf(stderr, "zvd-xwin: pixel %ld,%ld is %06lx after %ld ms, wanted %s%06lx\n", x, y, rgb, timeout,
                   differ ? "anything but " : "", colour);
    status = ok ? 0 : 1;
  } else if (command == "wait-ink" && argc == 8 && parse_long(argv[2], &id) && parse_long(argv[3], &x) &&
             parse_long(argv[4], &y) && parse_long(argv[5], &width) && parse_long(argv[6], &height) &&
             parse_long(argv[7], &timeout)) {
    const bool ok = poll_until(display, static_cast<int>(timeout), [&] {
      return has_ink(display, static_cast<Window>(id), static_cast<int>(x), static_cast<int>(y),
                     static_cast<int>(width), static_cast<int>(height));
    });
    if (!ok)
      std::fprintf(stderr, "zvd-xwin: no dark pixel (all channels below 0x60) in %ldx%ld at %ld,%ld after %ld ms\n",
                   width, height, x, y, timeout);
    status = ok ? 0 : 1;
  } else if (command == "close" && argc == 3 && parse_long(argv[2], &id)) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(id);
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    status = XSendEvent(display, static_cast<Window>(id), False, NoEventMask, &event) ? 0 : 1;
    XSync(display, False);
  } else {
    status = usage();
  }
  XCloseDisplay(display);
  return status;
}
