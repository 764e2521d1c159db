# SPDX-License-Identifier: MIT
# Start-up benchmark: zvd-reference-window builds the calculator's window directly with
# GTK 3 (the peer), and zvd-startup-probe measures a program from exec until its window is
# complete and closes it; bench/startup runs both against the calculator.
add_executable(zvd-reference-window "${CMAKE_CURRENT_SOURCE_DIR}/reference_window.cpp")
target_link_libraries(zvd-reference-window PRIVATE PkgConfig::GTK3)
# The window's size and background come from the calculator's own header.
target_include_directories(zvd-reference-window PRIVATE "${PROJECT_SOURCE_DIR}")
target_compile_definitions(zvd-reference-window PRIVATE ZVD_BENCH_IMAGE_DIR="${PROJECT_SOURCE_DIR}/data")

pkg_check_modules(ZVD_PROBE_X REQUIRED IMPORTED_TARGET x11 xext xdamage xfixes)
add_executable(zvd-startup-probe "${CMAKE_CURRENT_SOURCE_DIR}/startup_probe.cpp")
target_link_libraries(zvd-startup-probe PRIVATE PkgConfig::ZVD_PROBE_X)
