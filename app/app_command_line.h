// SPDX-License-Identifier: MIT
// The program's command line and its identity on the desktop.
#pragma once

// app_read_command_line: parse the program's and the toolkit's options without opening a
//   display, then open it; returns -1 to start the window, else the exit status (0 after
//   --help or --version, 1 after an unknown or malformed option or without a display).
//   Consumed options leave argc/argv.
// app_set_window_icon: make the desktop id's themed icon every window's default, falling
//   back to the 128 px picture beside the program's pictures; windows already open take it.
// app_set_window_icon_after_first_frame: the same once the window has drawn its first frame
//   (looking the icon up costs more than a tenth of start-up, and the window is wanted first).

int app_read_command_line(int* argc, char*** argv);
void app_set_window_icon();
void app_set_window_icon_after_first_frame(void* window);

// The desktop file's id: the program's name and class, so that the Wayland app id and the
// X11 WM_CLASS tie the window to its launcher, and the name of its icon.
inline constexpr char APP_ID[] = "org.example.ZoriviVudiDider";
