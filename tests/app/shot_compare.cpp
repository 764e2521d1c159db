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

// The colour at (x, y), or -1 outside the picture.
long at(GdkPixbuf* p, int x, int y) {
  if (x >= gdk_pixbuf_get_width(p) || y >= gdk_pixbuf_get_height(p)) return -1;
  const guchar* c = gdk_pixbuf_read_pixels(p) + y * gdk_pixbuf_get_rowstride(p) + x * gdk_pixbuf_get_n_channels(p);
  return (long{c[0]} << 16) | (long{c[1]} << 8) | long{c[2]};
}

int compare(GdkPixbuf* shot, GdkPixbuf* reference, long colour, int width, int height, int from, int to) {
  if (gdk_pixbuf_get_width(reference) != width || gdk_pixbuf_get_height(reference) != height || to >= height) {
    std::printf("the reference is not %dx%d or has no row %d\n", width, height, to);
    return 1;
  }
  for (int y = 0; y < gdk_pixbuf_get_height(shot); ++y)
    for (int x = 0; x < gdk_pixbuf_get_width(shot); ++x) {
      const bool corner = at(shot, x, y) == colour && (x == 0 || at(shot, x - 1, y) != colour) &&
                          (y == 0 || at(shot, x, y - 1) != colour);
      if (!corner) continue;
      int w = 0, h = 0;
      while (at(shot, x + w, y) == colour) ++w;
      while (at(shot, x, y + h) == colour) ++h;
      if (w < 50 || h < 50) continue;  // a stray pixel of that colour, not the gadget area
      std::printf("gadget area %dx%d at %d,%d\n", w, h, x, y);
      if (w != width || h != height) return 1;
      int differing = 0;
      for (int row = from; row <= to; ++row)
        for (int col = 0; col < width; ++col) differing += at(shot, x + col, y + row) != at(reference, col, row);
      std::printf("%d pixels of rows %d to %d differ from the reference\n", differing, from, to);
      return differing == 0 ? 0 : 1;
    }
  std::printf("no gadget area of colour %06lx in the screenshot\n", colour);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  GdkPixbuf* shot = argc == 8 ? gdk_pixbuf_new_from_file(argv[1], nullptr) : nullptr;
  GdkPixbuf* reference = argc == 8 ? gdk_pixbuf_new_from_file(argv[2], nullptr) : nullptr;
  int status = 2;
  if (shot && reference)
    status = compare(shot, reference, std::strtol(argv[3], nullptr, 16), std::atoi(argv[4]), std::atoi(argv[5]),
                     std::atoi(argv[6]), std::atoi(argv[7]));
  else std::fprintf(stderr, "usage: zvd-shot-compare SHOT REFERENCE RRGGBB WIDTH HEIGHT ROW_FROM ROW_TO\n");
  for (GdkPixbuf* p : {shot, reference})
    if (p) g_object_unref(p);
  return status;
}
