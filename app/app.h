// The date calculator application: start-up, main loop and shutdown.
#pragma once

#include <cstdint>

// app_main: run start-up, the main loop and shutdown; returns the exit status (0).
// app_shutdown: release the runtime libraries in their fixed order.

int64_t app_main(int argc, char** argv);
void app_shutdown();
