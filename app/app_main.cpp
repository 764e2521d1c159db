// Start-up and shutdown in their fixed orders.
#include "app/app.h"

#include "runtime/gui/toolkit.h"
#include "runtime/strings/ustring.h"

namespace {
int64_t app_exit_code = 0;
}

int64_t app_main(int argc, char** argv) {
  toolkit_set_args(argc, argv);  // 1
  runtime_set_locale();          // 2
  ustr_stack_startup();          // 3
  app_shutdown();
  return app_exit_code;
}

void app_shutdown() {
  ustr_stack_shutdown();  // 6
}
