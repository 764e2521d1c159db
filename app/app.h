// SPDX-License-Identifier: MIT
// The date calculator application: start-up, main loop and shutdown.
#pragma once

#include <cstdint>

// app_main: read the command line, then run start-up, the main loop and shutdown; returns
//   the exit status (0; the command line's own status after --help, --version or a bad option).
// app_startup: start-up steps 1-17: runtime, pictures, fonts, main window, calendar copy.
// app_run_loop: the main loop; returns when the event procedure ends it (window closed).
// app_shutdown: release the runtime libraries in their fixed order.

int64_t app_main(int argc, char** argv);
void app_startup(int argc, char** argv);
void app_run_loop();
void app_shutdown();

// Absolute directory of the two pictures, fixed when the program is built: every
// executable that links the application defines it (app/main.cpp from ZVD_IMAGE_DIR).
extern const char* app_image_dir;
// A directory tried first for each picture, or null: the installed program points it at
// the pictures installed beside it before start-up; a picture missing there comes from
// app_image_dir.
extern const char* app_image_dir_first;

// File names of the two pictures inside app_image_dir.
inline constexpr char16_t APP_LOGO_FILE[] = u"DovezuVevuDuze100v49.png";
inline constexpr char16_t APP_BANNER_FILE[] = u"ZuveduDereduRARuruDezov.png";

extern int64_t app_logo_image;    // image handle of the logo, 0 when it failed to load
extern int64_t app_banner_image;  // image handle of the banner, 0 when it failed to load
extern int64_t app_last_event;    // type returned by the last wait of the main loop
extern int64_t app_exit_code;     // returned by app_main; nothing changes it
