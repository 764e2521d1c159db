// SPDX-License-Identifier: MIT
// Decodes a 4096 x 4096 24-bit BMP and a 4096 x 4096 RGB PNG, generated at start into a
// temporary directory, with image_load and with gdk_pixbuf_new_from_file, and prints the
// time of each of this layer's paths as a ratio of gdk-pixbuf's. The ratios come from
// alternating rounds (bench/rotation.h) that go on until their spread is within +-5 %; the
// BMP decoder is also compared with the physical floor: reading the file and copying its
// pixels once into a buffer of the pixbuf's size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/image/bmp_decoder.h"
#include "runtime/image/image.h"
#include "runtime/image/png_decoder.h"
#include "rotation.h"

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

// The floor of any BMP decoder: the file read into a buffer of its size, its pixel bytes
// copied once into a buffer of the pixbuf's size, both buffers fresh as the decoder's are.
void read_and_copy(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  struct stat info{};
  if (fd < 0 || fstat(fd, &info) != 0) std::abort();
  const auto size = static_cast<size_t>(info.st_size);
  auto* file = static_cast<uint8_t*>(image_alloc_zeroed(size));
  size_t done = 0;
  while (done < size) {
    const ssize_t n = read(fd, file + done, size - done);
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  close(fd);
  int32_t stride = 0;
  int64_t pixels = 0;
  if (!image_buffer_layout(SIZE, SIZE, 24, &stride, &pixels)) std::abort();
  auto* out = static_cast<uint8_t*>(image_alloc_zeroed(static_cast<size_t>(pixels)));
  std::memcpy(out, file + 54, std::min(size - 54, static_cast<size_t>(pixels)));
  benchmark::DoNotOptimize(out);
  benchmark::ClobberMemory();
  free(out);
  free(file);
}

void load_once_with_layer(const std::string& path) {
  const std::u16string name(path.begin(), path.end());
  const int64_t handle = image_load(ANY_NUMBER, name.c_str());
  if (handle == 0) std::abort();
  benchmark::DoNotOptimize(image_pixbuf(handle));
  image_free(handle);
}

void load_once_with_gdk_pixbuf(const std::string& path) {
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(path.c_str(), nullptr);
  if (!pixbuf) std::abort();
  benchmark::DoNotOptimize(gdk_pixbuf_read_pixels(pixbuf));
  g_object_unref(pixbuf);
}

// Alternating rounds of image_load, gdk-pixbuf (and for BMP the floor); prints the times and
// the ratios with their spread, and returns whether the goal was met.
bool compare(const char* label, const std::string& path, double goal, bool with_floor) {
  std::vector<rotation::Contender> contenders;
  contenders.push_back({"image_load", [&] { load_once_with_layer(path); }});
  contenders.push_back({"gdk-pixbuf", [&] { load_once_with_gdk_pixbuf(path); }});
  std::vector<rotation::Pair> pairs{{0, 1}};
  if (with_floor) {
    contenders.push_back({"read + one copy (floor)", [&] { read_and_copy(path); }});
    pairs.push_back({0, 2});
  }
  constexpr double kTolerance = 0.05;
  const int rounds = rotation::run(contenders, pairs, 15, kTolerance, 25.0);
  std::printf("\n%s, %d alternating rounds, ms per decode, median [lowest .. highest quartile]:\n", label, rounds);
  rotation::print_times(contenders, 1e3, "ms");
  const double r = rotation::print_ratio(label, contenders[0], contenders[1], goal, kTolerance);
  if (with_floor) {
    rotation::print_ratio((std::string(label) + " against its floor").c_str(), contenders[0], contenders[2], 2.0,
                          kTolerance);
  }
  return r <= goal;
}

void BM_BmpImageLoad(benchmark::State& state) { load_with_layer(state, g_bmp); }
void BM_BmpGdkPixbuf(benchmark::State& state) { load_with_gdk_pixbuf(state, g_bmp); }
void BM_PngImageLoad(benchmark::State& state) { load_with_layer(state, g_png); }
void BM_PngGdkPixbuf(benchmark::State& state) { load_with_gdk_pixbuf(state, g_png); }

BENCHMARK(BM_BmpImageLoad)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_BmpGdkPixbuf)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_PngImageLoad)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_PngGdkPixbuf)->Unit(benchmark::kMillisecond)->MinTime(0.5);

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
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    compare("BMP 4096x4096 24-bit", g_bmp, 0.40, true);
    compare("PNG 4096x4096 RGB", g_png, 1.0, false);
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
