// zvd-shot-compare: finds a window's gadget area in a screenshot by its background colour
// and compares it with a picture of the same window taken elsewhere.
//   zvd-shot-compare SHOT REFERENCE RRGGBB WIDTH HEIGHT ROW_FROM ROW_TO
// The gadget area is the first RRGGBB rectangle whose top row and left column are wholly
// that colour (the window's first row and column hold no gadget); it must be WIDTH x HEIGHT,
// like REFERENCE, and its rows ROW_FROM to ROW_TO (inclusive) must equal REFERENCE's pixel
// for pixel. Prints what it found; exit 0 when all holds, 1 when not, 2 on bad arguments.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace {

struct Picture {
  GdkPixbuf* pixbuf;
  int width, height;
  long at(int x, int y) const {
    const guchar* p = gdk_pixbuf_read_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
                      x * gdk_pixbuf_get_n_channels(pixbuf);
    return (long{p[0]} << 16) | (long{p[1]} << 8) | long{p[2]};
  }
};

bool load(const char* path, Picture* picture) {
  picture->pixbuf = gdk_pixbuf_new_from_file(path, nullptr);
  if (!picture->pixbuf) return false;
  picture->width = gdk_pixbuf_get_width(picture->pixbuf);
  picture->height = gdk_pixbuf_get_height(picture->pixbuf);
  return true;
}

// The run of `colour` from (x, y) to the right (dx 1) or downwards (dy 1).
int run(const Picture& p, int x, int y, int dx, int dy, long colour) {
  int n = 0;
  while (x + n * dx < p.width && y + n * dy < p.height && p.at(x + n * dx, y + n * dy) == colour) ++n;
  return n;
}

int compare(const Picture& shot, const Picture& reference, char** argv) {
  const long colour = std::strtol(argv[3], nullptr, 16);
  const int width = std::atoi(argv[4]), height = std::atoi(argv[5]);
  const int from = std::atoi(argv[6]), to = std::atoi(argv[7]);
  if (reference.width != width || reference.height != height) {
    std::printf("the reference is %dx%d, not %dx%d\n", reference.width, reference.height, width, height);
    return 1;
  }
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const bool corner = shot.at(x, y) == colour && (x == 0 || shot.at(x - 1, y) != colour) &&
                          (y == 0 || shot.at(x, y - 1) != colour);
      if (!corner) continue;
      const int w = run(shot, x, y, 1, 0, colour), h = run(shot, x, y, 0, 1, colour);
      if (w < 50 || h < 50) continue;  // a stray pixel of that colour, not the gadget area
      std::printf("gadget area %dx%d at %d,%d\n", w, h, x, y);
      if (w != width || h != height || to >= height) return 1;
      int differing = 0;
      for (int row = from; row <= to; ++row)
        for (int col = 0; col < width; ++col) differing += shot.at(x + col, y + row) != reference.at(col, row);
      std::printf("%d pixels of rows %d to %d differ from the reference\n", differing, from, to);
      return differing == 0 ? 0 : 1;
    }
  }
  std::printf("no gadget area of colour %06lx in the screenshot\n", colour);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Picture shot{}, reference{};
  int status = 2;
  if (argc == 8 && load(argv[1], &shot) && load(argv[2], &reference)) status = compare(shot, reference, argv);
  else std::fprintf(stderr, "usage: zvd-shot-compare SHOT REFERENCE RRGGBB WIDTH HEIGHT ROW_FROM ROW_TO\n");
  for (GdkPixbuf* p : {shot.pixbuf, reference.pixbuf})
    if (p) g_object_unref(p);
  return status;
}
