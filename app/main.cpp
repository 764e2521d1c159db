// Process entry point: everything happens in app_main.
#include "app/app.h"

// Each program built from this file gets its picture directory from the build.
const char app_image_dir[] = ZVD_IMAGE_DIR;

int main(int argc, char** argv) {
  return static_cast<int>(app_main(argc, argv));
}
