// SPDX-License-Identifier: MIT
// Process entry point: everything happens in app_main.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "app/app.h"
#include "app/app_text.h"

// Each program built from this file gets its picture directory from the build.
const char* app_image_dir = ZVD_IMAGE_DIR;

#if defined(ZVD_IMAGE_DIR_FROM_PROGRAM) || defined(ZVD_LOCALE_DIR_FROM_PROGRAM)
namespace {

// The installed program prefers what its own install put beside it: "<directory of this
// executable>/<relative>" (../share/zorivivudidider, ../share/locale) when that directory
// exists, so that any prefix, a DESTDIR staging tree and the Debian package (always under
// /usr) find it. The configured directory is the fallback.
const char* dir_beside_program(const char* relative, char (&dir)[PATH_MAX]) {
  const ssize_t n = readlink("/proc/self/exe", dir, sizeof dir);
  if (n <= 0 || static_cast<size_t>(n) >= sizeof dir) return nullptr;
  dir[n] = '\0';
  char* slash = strrchr(dir, '/');
  if (slash == nullptr) return nullptr;
  const size_t kept = static_cast<size_t>(slash - dir) + 1;  // with the '/'
  const size_t length = strlen(relative) + 1;  // with the terminator
  if (kept + length > sizeof dir) return nullptr;
  memcpy(slash + 1, relative, length);
  struct stat info;
  if (stat(dir, &info) != 0 || !S_ISDIR(info.st_mode)) return nullptr;
  return dir;
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef ZVD_IMAGE_DIR_FROM_PROGRAM
  // A picture missing beside the program comes from the configured directory.
  static char image_dir[PATH_MAX];
  app_image_dir_first = dir_beside_program(ZVD_IMAGE_DIR_FROM_PROGRAM, image_dir);
#endif
  app_locale_dir = ZVD_LOCALE_DIR;
#ifdef ZVD_LOCALE_DIR_FROM_PROGRAM
  static char locale_dir[PATH_MAX];
  if (const char* beside = dir_beside_program(ZVD_LOCALE_DIR_FROM_PROGRAM, locale_dir)) app_locale_dir = beside;
#endif
  return static_cast<int>(app_main(argc, argv));
}
