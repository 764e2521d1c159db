// SPDX-License-Identifier: MIT
// Start-up, main loop and shutdown in their fixed orders.
#include "app/app.h"

#include "app/actions.h"
#include "app/app_command_line.h"
#include "app/app_access.h"
#include "app/app_text.h"
#include "app/main_window.h"
#include "runtime/gadgets/gadget.h"
#include "runtime/gui/event.h"
#include "runtime/gui/font.h"
#include "runtime/gui/registry.h"
#include "runtime/gui/toolkit.h"
#include "runtime/gui/window.h"
#include "runtime/image/bmp_decoder.h"
#include "runtime/image/image.h"
#include "runtime/image/png_decoder.h"
#include "runtime/strings/ustring.h"

int64_t app_logo_image = 0;
int64_t app_banner_image = 0;
int64_t app_last_event = 0;
int64_t app_exit_code = 0;
const char* app_image_dir_first = nullptr;

namespace {

// Loads directory + "/" + file as an image under ANY_NUMBER; the path is built on the
// temporary-string stack and dropped again.
int64_t load_picture(const char* directory, const char16_t* file) {
  const int64_t mark = ustr_stack_top();
  ustr_push_utf8(directory, mark);
  ustr_stack_push(u"/");
  ustr_stack_push(file);
  ustr_stack_close();
  const int64_t image = image_load(ANY_NUMBER, ustr_stack_string(mark));
  ustr_stack_set_top(mark);
  return image;
}

// A picture from app_image_dir_first if it loads from there, else from app_image_dir.
int64_t load_picture(const char16_t* file) {
  const int64_t image = app_image_dir_first ? load_picture(app_image_dir_first, file) : 0;
  return image ? image : load_picture(app_image_dir, file);
}

}  // namespace

void app_startup(int argc, char** argv) {
  toolkit_set_args(argc, argv);  // 1
  runtime_set_locale();          // 2
  app_bind_text_domain();        // the program's texts in the locale's language
  ustr_stack_startup();          // 3
  decode_context_init();         // 4
  toolkit_init();                // 5
  font_library_init();           // 6
  event_queue_init();            // 7
  bmp_decoder_register();        // 8
  image_init();                  // 9
  win_library_init();            // 10
  gadget_init();                 // 11
  png_decoder_register();        // 12

  app_logo_image = load_picture(APP_LOGO_FILE);      // 13
  app_banner_image = load_picture(APP_BANNER_FILE);  // 14

  font_load_plain(0, u"Sans", 10);  // 15
  font_load_plain(1, u"Sans", 9);
  font_load_plain(2, u"Sans", 8);

  app_create_main_window(40, 40, APP_WINDOW_WIDTH, APP_WINDOW_HEIGHT);  // 16
  app_describe_main_window();                // names for screen readers; nothing visible
  app_sync_fields_from_calendar();           // 17
  app_set_keyboard_order();                  // Tab order; the days-after count has the keyboard
  app_set_window_icon_after_first_frame(win_widget(app_main_window));
}

void app_run_loop() {
  // 18: one wait per event; the procedure returns 0 only for the close-window event.
  do {
    app_last_event = event_wait_forever();
  } while (app_event_procedure(app_last_event) != 0);
}

void app_shutdown() {
  win_close_all();        // 1
  image_shutdown();       // 2
  font_library_end();     // 3
  toolkit_end();          // 4
  tls_shutdown();         // 5
  ustr_stack_shutdown();  // 6
}

int64_t app_main(int argc, char** argv) {
  if (const int status = app_read_command_line(&argc, &argv); status >= 0) return status;
  app_startup(argc, argv);
  app_run_loop();
  app_shutdown();
  return app_exit_code;  // 7
}
