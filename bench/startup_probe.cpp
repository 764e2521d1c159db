// SPDX-License-Identifier: MIT
// zvd-startup-probe: starts one GUI program on the current X display and measures it from
// exec until its window first shows its complete content, then closes the window the way a
// window manager does (a WM_DELETE_WINDOW client message) and reaps the program.
//
//   zvd-startup-probe --calibrate FILE [--timeout-ms N] -- PROGRAM [ARGS...]
//       waits until the program's window has stopped changing, and saves its content to
//       FILE; pixels that still change while it is watched (a blinking cursor, say) are
//       marked as not compared.
//   zvd-startup-probe --expect FILE [--timeout-ms N] -- PROGRAM [ARGS...]
//       measures until the window's content equals FILE's in every compared pixel.
//   --trace prints the time of every drawing and the number of pixels still differing.
//   --on-complete CMD runs CMD with /bin/sh once the window is complete, before it is
//       closed, with ZVD_PROBE_PID set to the program's process id, and waits for it (for
//       instance `callgrind_control --dump PID`, which ends an instruction count at the
//       first complete frame).
//
// Prints one line: "wall_ms=T map_ms=M maxrss_kb=K frames=F cpu_ms=C frame_cpu_ms=P
// status=S", where T is the time from just before exec to the complete frame, M the time
// until the window was mapped, K the program's peak resident set (getrusage of the child), F
// how many times the window was drawn to on the way, C the processor time (user and system)
// of the whole run including its shutdown, P the processor time of all its threads up to the
// complete frame (the kernel's per-thread run time), and S its exit status. Exit status 0 on success, 1 when the
// window never appeared or never matched, 2 on bad arguments or a missing display.
//
// The program's window is the top-level window mapped with the program's _NET_WM_PID.
// Drawing is followed with the DAMAGE extension: only the rectangles that were drawn to are
// read back and compared, so watching costs the X server little and wakes only on drawing.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xfixes.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kCompared = 0x80000000u;  // set in a reference pixel that takes part
constexpr uint32_t kRgb = 0x00FFFFFFu;

double ms_between(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// A window's content as 0x00RRGGBB-ordered raw pixel values (the visual's own order), with
// kCompared marking the pixels that a reference compares.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

bool save_picture(const char* path, const Picture& picture) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  std::fprintf(file, "ZVDPROBE %d %d\n", picture.width, picture.height);
  const size_t count = picture.pixels.size();
  const bool ok = std::fwrite(picture.pixels.data(), sizeof(uint32_t), count, file) == count;
  return std::fclose(file) == 0 && ok;
}

bool load_picture(const char* path, Picture* picture) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  bool ok = std::fscanf(file, "ZVDPROBE %d %d", &picture->width, &picture->height) == 2 && std::fgetc(file) == '\n' &&
            picture->width > 0 && picture->height > 0 && picture->width <= 8192 && picture->height <= 8192;
  if (ok) {
    picture->pixels.resize(static_cast<size_t>(picture->width) * static_cast<size_t>(picture->height));
    ok = std::fread(picture->pixels.data(), sizeof(uint32_t), picture->pixels.size(), file) == picture->pixels.size();
  }
  std::fclose(file);
  return ok;
}

// Reads window rectangles through shared memory (MIT-SHM) when the server offers it: the
// server writes the pixels straight into a segment shared with the probe instead of sending
// them through the connection, so watching a program costs the machine less while the
// program runs. One 32-bit segment, grown when a larger rectangle is asked for.
class ShmReader {
 public:
  // The rectangle as an image whose rows are w pixels apart, or nullptr (then use XGetImage).
  XImage* read(Display* display, Window window, int x, int y, int w, int h) {
    if (!usable_ || !display) return nullptr;
    const size_t bytes = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
    if (!image_ || bytes > capacity_) {
      release();
      display_ = display;
      if (!create(w, h)) {
        usable_ = false;
        return nullptr;
      }
    }
    image_->width = w;
    image_->height = h;
    image_->bytes_per_line = w * 4;
    if (!XShmGetImage(display, window, image_, x, y, AllPlanes)) return nullptr;
    return image_;
  }

  void start(Display* display) { usable_ = XShmQueryExtension(display); }
  void stop() {  // before the display is closed
    release();
    usable_ = false;
  }

 private:
  bool create(int w, int h) {
    const int screen = DefaultScreen(display_);
    image_ = XShmCreateImage(display_, DefaultVisual(display_, screen), static_cast<unsigned>(DefaultDepth(display_, screen)),
                             ZPixmap, nullptr, &info_, static_cast<unsigned>(w), static_cast<unsigned>(h));
    if (!image_) return false;
    capacity_ = static_cast<size_t>(w) * static_cast<size_t>(h) * 4;
    info_.shmid = image_->bits_per_pixel == 32 ? shmget(IPC_PRIVATE, capacity_, IPC_CREAT | 0600) : -1;
    void* at = info_.shmid >= 0 ? shmat(info_.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
    if (at == reinterpret_cast<void*>(-1)) {
      if (info_.shmid >= 0) shmctl(info_.shmid, IPC_RMID, nullptr);
      XDestroyImage(image_);
      image_ = nullptr;
      return false;
    }
    info_.shmaddr = image_->data = static_cast<char*>(at);
    info_.readOnly = False;
    const bool attached = XShmAttach(display_, &info_);
    XSync(display_, False);
    shmctl(info_.shmid, IPC_RMID, nullptr);  // removed once both sides have detached
    if (!attached) release();
    return attached;
  }

  void release() {
    if (!image_) return;
    XShmDetach(display_, &info_);
    XSync(display_, False);
    shmdt(info_.shmaddr);
    image_->data = nullptr;  // not XDestroyImage's to free
    XDestroyImage(image_);
    image_ = nullptr;
    capacity_ = 0;
  }

  Display* display_ = nullptr;
  XImage* image_ = nullptr;
  XShmSegmentInfo info_{};
  size_t capacity_ = 0;
  bool usable_ = false;
};

ShmReader g_shm;

// Reads a rectangle of the window into out (row-major, width w); false if it cannot be read.
bool read_rect(Display* display, Window window, int x, int y, int w, int h, std::vector<uint32_t>* out) {
  if (XImage* shared = g_shm.read(display, window, x, y, w, h)) {
    out->resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    const auto* pixels = reinterpret_cast<const uint32_t*>(shared->data);
    for (size_t i = 0; i < out->size(); ++i) (*out)[i] = pixels[i] & kRgb;
    return true;
  }
  XImage* image = XGetImage(display, window, x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                            ZPixmap);
  if (!image) return false;
  out->resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int row = 0; row < h; ++row) {
    for (int col = 0; col < w; ++col) {
      uint32_t pixel;
      if (image->bits_per_pixel == 32) {
        std::memcpy(&pixel, image->data + row * image->bytes_per_line + col * 4, 4);
      } else {
        pixel = static_cast<uint32_t>(XGetPixel(image, col, row));
      }
      (*out)[static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(col)] = pixel & kRgb;
    }
  }
  XDestroyImage(image);
  return true;
}

// Tracks how many compared pixels of the window still differ from the reference.
class Matcher {
 public:
  explicit Matcher(const Picture* reference) : reference_(reference) {}

  // The window's size changed or it was just found: compare everything again.
  void reset(Display* display, Window window, int width, int height) {
    width_ = width;
    height_ = height;
    if (width != reference_->width || height != reference_->height) {
      differing_ = -1;
      return;
    }
    differs_.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    differing_ = 0;
    update(display, window, 0, 0, width, height);
  }

  void update(Display* display, Window window, int x, int y, int w, int h) {
    if (differing_ < 0) return;
    if (x < 0) w += x, x = 0;
    if (y < 0) h += y, y = 0;
    if (x + w > width_) w = width_ - x;
    if (y + h > height_) h = height_ - y;
    if (w <= 0 || h <= 0) return;
    if (!read_rect(display, window, x, y, w, h, &scratch_)) return;
    for (int row = 0; row < h; ++row) {
      for (int col = 0; col < w; ++col) {
        const size_t at = static_cast<size_t>(y + row) * static_cast<size_t>(width_) + static_cast<size_t>(x + col);
        const uint32_t want = reference_->pixels[at];
        const uint8_t now = (want & kCompared) && (want & kRgb) != scratch_[static_cast<size_t>(row) * static_cast<size_t>(w) + static_cast<size_t>(col)];
        differing_ += static_cast<long>(now) - static_cast<long>(differs_[at]);
        differs_[at] = now;
      }
    }
  }

  bool matches() const { return differing_ == 0; }
  long differing() const { return differing_; }

 private:
  const Picture* reference_;
  int width_ = 0;
  int height_ = 0;
  long differing_ = -1;
  std::vector<uint8_t> differs_;
  std::vector<uint32_t> scratch_;
};

long window_pid(Display* display, Window window) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  long pid = -1;
  const Atom net_wm_pid = XInternAtom(display, "_NET_WM_PID", False);
  if (XGetWindowProperty(display, window, net_wm_pid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
          Success &&
      data) {
    if (type == XA_CARDINAL && format == 32 && count == 1) pid = *reinterpret_cast<long*>(data);
    XFree(data);
  }
  return pid;
}

// Processor time in ms that all threads of a live process have run so far (the first field
// of each thread's schedstat, in nanoseconds); -1 if it cannot be read.
double process_cpu_ms(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (!dir) return -1;
  double ns = 0;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    FILE* file = std::fopen((tasks + "/" + entry->d_name + "/schedstat").c_str(), "r");
    if (!file) continue;
    unsigned long long run = 0;
    if (std::fscanf(file, "%llu", &run) == 1) ns += static_cast<double>(run);
    std::fclose(file);
  }
  closedir(dir);
  return ns / 1e6;
}

void send_delete(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

// Waits for the child to end, killing it after timeout_ms; returns its wait status.
int reap(pid_t pid, int timeout_ms, rusage* usage) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  for (;;) {
    const pid_t done = wait4(pid, &status, WNOHANG, usage);
    if (done == pid) return status;
    if (done < 0) return -1;
    if (Clock::now() >= deadline) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, usage);
      return -1;
    }
    usleep(1000);
  }
}

int usage_error() {
  std::fputs("usage: zvd-startup-probe (--calibrate FILE | --expect FILE) [--timeout-ms N] [--trace]"
             " [--on-complete CMD] -- PROGRAM [ARGS...]\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* calibrate_file = nullptr;
  const char* expect_file = nullptr;
  const char* on_complete = nullptr;
  int timeout_ms = 30000;
  bool trace = false;
  int first = 1;
  for (; first < argc; ++first) {
    const std::string arg = argv[first];
    if (arg == "--") {
      ++first;
      break;
    }
    if (arg == "--trace") {
      trace = true;
      continue;
    }
    if (first + 1 >= argc) return usage_error();
    if (arg == "--calibrate") calibrate_file = argv[++first];
    else if (arg == "--expect") expect_file = argv[++first];
    else if (arg == "--timeout-ms") timeout_ms = std::atoi(argv[++first]);
    else if (arg == "--on-complete") on_complete = argv[++first];
    else return usage_error();
  }
  if (first >= argc || (calibrate_file == nullptr) == (expect_file == nullptr) || timeout_ms <= 0)
    return usage_error();

  Picture reference;
  if (expect_file && !load_picture(expect_file, &reference)) {
    std::fprintf(stderr, "zvd-startup-probe: cannot read %s\n", expect_file);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fputs("zvd-startup-probe: cannot open the display\n", stderr);
    return 2;
  }
  int damage_event = 0, damage_error = 0, fixes_event = 0, fixes_error = 0;
  if (!XDamageQueryExtension(display, &damage_event, &damage_error) ||
      !XFixesQueryExtension(display, &fixes_event, &fixes_error)) {
    std::fputs("zvd-startup-probe: the display has no DAMAGE or XFIXES extension\n", stderr);
    return 2;
  }
  int fixes_major = 2, fixes_minor = 0;
  XFixesQueryVersion(display, &fixes_major, &fixes_minor);
  XSetErrorHandler(ignore_x_error);
  g_shm.start(display);
  const Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, False);

  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) return 1;
  if (pid == 0) {
    execvp(argv[first], argv + first);
    _exit(127);
  }
  // The probe watches at a lower priority than the program it measures: where both want a
  // processor (reading back a drawing while the program still builds its window), the
  // program goes first. Once the program is idle, the probe runs at once as before.
  errno = 0;
  const int niceness = getpriority(PRIO_PROCESS, 0);
  if (errno == 0) setpriority(PRIO_PROCESS, 0, niceness + 5);

  const auto deadline = start + std::chrono::milliseconds(timeout_ms);
  Window target = 0;
  Damage damage = 0;
  XserverRegion parts = 0;
  Matcher matcher(&reference);
  int frames = 0;
  double map_ms = -1, wall_ms = -1, frame_cpu_ms = -1;
  // Calibration: the content is taken once nothing was drawn for a while, and again a
  // little later; pixels that differ between the two are left out of the comparison.
  constexpr int kQuietMs = 500;
  constexpr int kRecheckMs = 800;
  auto last_drawn = start;
  Picture first_look;
  bool done = false;
  bool failed = false;

  auto window_size = [&](int* w, int* h) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, target, &attributes)) return false;
    *w = attributes.width;
    *h = attributes.height;
    return true;
  };
  auto take_picture = [&](Picture* picture) {
    return window_size(&picture->width, &picture->height) &&
           read_rect(display, target, 0, 0, picture->width, picture->height, &picture->pixels);
  };

  while (!done && !failed) {
    while (XPending(display) && !done) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && target == 0 && event.xmap.event == root &&
          window_pid(display, event.xmap.window) == pid) {
        target = event.xmap.window;
        map_ms = ms_between(start, Clock::now());
        XSelectInput(display, target, StructureNotifyMask);
        damage = XDamageCreate(display, target, XDamageReportNonEmpty);
        parts = XFixesCreateRegion(display, nullptr, 0);
        last_drawn = Clock::now();
        if (expect_file) {
          int w = 0, h = 0;
          if (window_size(&w, &h)) matcher.reset(display, target, w, h);
        }
        if (trace) std::fprintf(stderr, "probe: %.3f ms mapped, %ld pixels differ\n", map_ms, matcher.differing());
      } else if (target != 0 && event.type == ConfigureNotify && event.xconfigure.window == target) {
        if (expect_file) matcher.reset(display, target, event.xconfigure.width, event.xconfigure.height);
      } else if (target != 0 && event.type == damage_event + XDamageNotify) {
        ++frames;
        last_drawn = Clock::now();
        XDamageSubtract(display, damage, None, parts);
        if (expect_file) {
          int count = 0;
          XRectangle* rects = XFixesFetchRegion(display, parts, &count);
          for (int i = 0; i < count; ++i)
            matcher.update(display, target, rects[i].x, rects[i].y, rects[i].width, rects[i].height);
          if (rects) XFree(rects);
        }
        if (trace)
          std::fprintf(stderr, "probe: %.3f ms drawn, %ld pixels differ\n", ms_between(start, last_drawn),
                       matcher.differing());
      }
      if (expect_file && target != 0 && matcher.matches()) {
        wall_ms = ms_between(start, Clock::now());
        frame_cpu_ms = process_cpu_ms(pid);
        done = true;
      }
    }
    if (done) break;
    const auto now = Clock::now();
    if (calibrate_file && target != 0 && ms_between(last_drawn, now) >= kQuietMs) {
      if (first_look.pixels.empty()) {
        if (!take_picture(&first_look)) failed = true;
        wall_ms = ms_between(start, last_drawn);
      } else if (ms_between(last_drawn, now) >= kQuietMs + kRecheckMs) {
        Picture second;
        if (!take_picture(&second) || second.width != first_look.width || second.height != first_look.height) {
          failed = true;
          break;
        }
        for (size_t i = 0; i < second.pixels.size(); ++i)
          if (second.pixels[i] == first_look.pixels[i]) second.pixels[i] |= kCompared;
        if (!save_picture(calibrate_file, second)) failed = true;
        done = true;
        break;
      }
    }
    if (now >= deadline) {
      failed = true;
      break;
    }
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      std::fprintf(stderr, "zvd-startup-probe: %s ended before its window was complete\n", argv[first]);
      std::printf("wall_ms=-1 map_ms=%.3f maxrss_kb=0 frames=%d status=%d\n", map_ms, frames,
                  WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
      return 1;
    }
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, 5);
  }

  if (on_complete && !failed) {
    const pid_t helper = fork();
    if (helper == 0) {
      setenv("ZVD_PROBE_PID", std::to_string(pid).c_str(), 1);
      execl("/bin/sh", "sh", "-c", on_complete, static_cast<char*>(nullptr));
      _exit(127);
    }
    int helper_status = 0;
    if (helper > 0) waitpid(helper, &helper_status, 0);
    if (helper < 0 || !WIFEXITED(helper_status) || WEXITSTATUS(helper_status) != 0)
      std::fprintf(stderr, "zvd-startup-probe: --on-complete command failed\n");
  }
  if (target != 0) send_delete(display, target);
  rusage usage{};
  const int status = reap(pid, 10000, &usage);
  if (damage) XDamageDestroy(display, damage);
  if (parts) XFixesDestroyRegion(display, parts);
  g_shm.stop();
  XCloseDisplay(display);
  const int exit_status = status < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const double cpu_ms = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                        (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  std::printf("wall_ms=%.3f map_ms=%.3f maxrss_kb=%ld frames=%d cpu_ms=%.3f frame_cpu_ms=%.3f status=%d\n",
              failed ? -1.0 : wall_ms, map_ms, usage.ru_maxrss, frames, cpu_ms, frame_cpu_ms, exit_status);
  if (trace)
    std::fprintf(stderr, "probe: user %.3f ms, system %.3f ms, %ld minor faults, %ld context switches\n",
                 usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3,
                 usage.ru_stime.tv_sec * 1e3 + usage.ru_stime.tv_usec / 1e3, usage.ru_minflt,
                 usage.ru_nvcsw + usage.ru_nivcsw);
  if (failed) {
    std::fprintf(stderr, "zvd-startup-probe: %s\n",
                 target == 0 ? "the window never appeared" : "the window never showed the expected content");
    return 1;
  }
  return 0;
}
