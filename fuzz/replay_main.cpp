// SPDX-License-Identifier: MIT
// Replays a fuzz target over every file of the corpus directories given as arguments, so
// that the regular test suite checks the corpus without libFuzzer. Exits 0 when every
// input ran (a fault aborts the program, under the sanitizers too).
#include <dirent.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool read_file(const std::string& path, std::vector<uint8_t>* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  out->clear();
  uint8_t chunk[4096];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out->insert(out->end(), chunk, chunk + n);
  fclose(f);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int inputs = 0;
  std::vector<uint8_t> bytes;
  for (int i = 1; i < argc; ++i) {
    DIR* dir = opendir(argv[i]);
    if (!dir) return 2;
    while (dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      if (!read_file(std::string(argv[i]) + "/" + entry->d_name, &bytes)) continue;
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++inputs;
    }
    closedir(dir);
  }
  return inputs > 0 ? 0 : 1;
}
