// Process entry point: everything happens in app_main.
#include "app/app.h"

int main(int argc, char** argv) {
  return static_cast<int>(app_main(argc, argv));
}
