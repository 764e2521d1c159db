// SPDX-License-Identifier: MIT
// Decodes a 4096 x 4096 24-bit BMP and a 4096 x 4096 RGB PNG, generated at start into a
// temporary directory, with image_load and with gdk_pixbuf_new_from_file, and prints the
// time of each of this layer's paths as a ratio of gdk-pixbuf's.
#include <benchmark/benchmark.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "runtime/image/bmp_decoder.h"
#include "runtime/image/image.h"
#include "runtime/image/png_decoder.h"

namespace {

constexpr int SIZE = 4096;
std::string g_dir;
std::string g_bmp;
std::string g_png;

// A picture with smooth areas and some texture, so the PNG compresses like a photo-ish image.
uint8_t sample(int x, int y, int c) {
  return static_cast<uint8_t>((x * (c + 1) + y * (3 - c)) / 16 + ((x * 7 + y * 13) % 23) * (c == 1));
}

bool write_bmp(const std::string& path) {
  const uint32_t row = SIZE * 3;  // already a multiple of 4
  const uint32_t data = row * SIZE;
  std::vector<uint8_t> file(54 + data);
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) file[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put(2, 54 + data, 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, SIZE, 4);
  put(22, SIZE, 4);
  put(26, 1, 2);
  put(28, 24, 2);
  put(34, data, 4);
  for (int y = 0; y < SIZE; ++y) {
    uint8_t* p = file.data() + 54 + size_t(SIZE - 1 - y) * row;
    for (int x = 0; x < SIZE; ++x) {
      p[3 * x] = sample(x, y, 2);
      p[3 * x + 1] = sample(x, y, 1);
      p[3 * x + 2] = sample(x, y, 0);
    }
  }
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = fwrite(file.data(), 1, file.size(), f) == file.size();
  return fclose(f) == 0 && ok;
}

bool write_png(const std::string& path) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<uint8_t> row(size_t(SIZE) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, SIZE, SIZE, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < SIZE; ++y) {
    for (int x = 0; x < SIZE; ++x) {
      for (int c = 0; c < 3; ++c) row[size_t(x) * 3 + size_t(c)] = sample(x, y, c);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return fclose(f) == 0;
}

void load_with_layer(benchmark::State& state, const std::string& path) {
  const std::u16string name(path.begin(), path.end());
  for (auto _ : state) {
    const int64_t handle = image_load(ANY_NUMBER, name.c_str());
    if (handle == 0) {
      state.SkipWithError("image_load failed");
      break;
    }
    benchmark::DoNotOptimize(image_pixbuf(handle));
    image_free(handle);
  }
}

void load_with_gdk_pixbuf(benchmark::State& state, const std::string& path) {
  for (auto _ : state) {
    GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
    if (!pixbuf) {
      state.SkipWithError("gdk_pixbuf_new_from_file failed");
      break;
    }
    benchmark::DoNotOptimize(gdk_pixbuf_read_pixels(pixbuf));
    g_object_unref(pixbuf);
  }
}

void BM_BmpImageLoad(benchmark::State& state) { load_with_layer(state, g_bmp); }
void BM_BmpGdkPixbuf(benchmark::State& state) { load_with_gdk_pixbuf(state, g_bmp); }
void BM_PngImageLoad(benchmark::State& state) { load_with_layer(state, g_png); }
void BM_PngGdkPixbuf(benchmark::State& state) { load_with_gdk_pixbuf(state, g_png); }

BENCHMARK(BM_BmpImageLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BmpGdkPixbuf)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PngImageLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PngGdkPixbuf)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The console report, keeping each benchmark's mean real time per iteration.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.iterations > 0) {
        times[run.run_name.function_name] = run.GetAdjustedRealTime();
        cpu_times[run.run_name.function_name] = run.GetAdjustedCPUTime();
      }
    }
  }
  std::map<std::string, double> times;
  std::map<std::string, double> cpu_times;
};

// Whether image_load gives the same RGB pixels as gdk-pixbuf for the file: a faster path that
// decodes wrongly would make its ratio meaningless.
bool same_pixels(const std::string& path) {
  const std::u16string name(path.begin(), path.end());
  const int64_t handle = image_load(ANY_NUMBER, name.c_str());
  GdkPixbuf* ours = handle ? static_cast<GdkPixbuf*>(image_pixbuf(handle)) : nullptr;
  GdkPixbuf* peer = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  bool same = ours && peer && gdk_pixbuf_get_width(ours) == gdk_pixbuf_get_width(peer) &&
              gdk_pixbuf_get_height(ours) == gdk_pixbuf_get_height(peer);
  for (int y = 0; same && y < gdk_pixbuf_get_height(ours); ++y) {
    const guint8* a = gdk_pixbuf_read_pixels(ours) + size_t(y) * size_t(gdk_pixbuf_get_rowstride(ours));
    const guint8* b = gdk_pixbuf_read_pixels(peer) + size_t(y) * size_t(gdk_pixbuf_get_rowstride(peer));
    const int na = gdk_pixbuf_get_n_channels(ours);
    const int nb = gdk_pixbuf_get_n_channels(peer);
    for (int x = 0; same && x < gdk_pixbuf_get_width(ours); ++x) {
      same = a[x * na] == b[x * nb] && a[x * na + 1] == b[x * nb + 1] && a[x * na + 2] == b[x * nb + 2];
    }
  }
  if (peer) g_object_unref(peer);
  if (handle) image_free(handle);
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  char pattern[] = "/tmp/zvd-images-bench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  g_dir = pattern;
  g_bmp = g_dir + "/large.bmp";
  g_png = g_dir + "/large.png";
  const bool written = write_bmp(g_bmp) && write_png(g_png);
  decode_context_init();
  bmp_decoder_register();
  image_init();
  png_decoder_register();
  int status = 1;
  if (written) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    auto ratio = [&](const char* ours, const char* peer, const char* label, double goal) {
      if (!reporter.times.count(ours) || !reporter.times.count(peer)) return;
      const double r = reporter.times[ours] / reporter.times[peer];
      const double c = reporter.cpu_times[ours] / reporter.cpu_times[peer];
      printf("%s: image_load takes %.2fx the real time and %.2fx the CPU time of gdk-pixbuf's loader"
             " (goal: at most %.2fx)\n", label, r, c, goal);
    };
    ratio("BM_BmpImageLoad", "BM_BmpGdkPixbuf", "BMP 4096x4096 24-bit", 0.5);
    ratio("BM_PngImageLoad", "BM_PngGdkPixbuf", "PNG 4096x4096 RGB", 1.0);
    status = 0;
    for (const std::string* path : {&g_bmp, &g_png}) {
      if (same_pixels(*path)) continue;
      printf("pixel mismatch: image_load and gdk-pixbuf decode %s differently\n", path->c_str());
      status = 1;
    }
  }
  image_shutdown();
  remove(g_bmp.c_str());
  remove(g_png.c_str());
  remove(g_dir.c_str());
  return status;
}
