// SPDX-License-Identifier: MIT
// Process entry point: everything happens in app_main.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "app/app.h"

// Each program built from this file gets its picture directory from the build.
const char* app_image_dir = ZVD_IMAGE_DIR;

#ifdef ZVD_IMAGE_DIR_FROM_PROGRAM
namespace {

// The installed program prefers the pictures its own install put beside it:
// "<directory of this executable>/ZVD_IMAGE_DIR_FROM_PROGRAM" (../share/zorivivudidider)
// when that directory exists, so that any prefix, a DESTDIR staging tree and the Debian
// package (always under /usr) show them. A picture missing there comes from the
// configured directory.
char installed_image_dir[PATH_MAX];

const char* image_dir_beside_program() {
  constexpr char relative[] = ZVD_IMAGE_DIR_FROM_PROGRAM;
  const ssize_t n = readlink("/proc/self/exe", installed_image_dir, sizeof installed_image_dir);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof installed_image_dir) return nullptr;
  installed_image_dir[n] = '\0';
  char* slash = strrchr(installed_image_dir, '/');
  if (slash == nullptr) return nullptr;
  const size_t kept = static_cast<size_t>(slash - installed_image_dir) + 1;  // with the '/'
  if (kept + sizeof relative > sizeof installed_image_dir) return nullptr;
  memcpy(slash + 1, relative, sizeof relative);
  struct stat info;
  if (stat(installed_image_dir, &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
  return installed_image_dir;
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef ZVD_IMAGE_DIR_FROM_PROGRAM
  app_image_dir_first = image_dir_beside_program();
#endif
  return static_cast<int>(app_main(argc, argv));
}
