# SPDX-License-Identifier: MIT
# days_after_bench: the days-after computation through the runtime's strings and
# dates against the same computation with GLib's GDateTime, with heap counts.
# The runtime sources are compiled into the program so that it runs at -O2 in
# every build type.
pkg_check_modules(ZVD_BENCH_GLIB REQUIRED IMPORTED_TARGET glib-2.0)
file(GLOB _days_after_runtime CONFIGURE_DEPENDS
     "${PROJECT_SOURCE_DIR}/runtime/strings/*.cpp" "${PROJECT_SOURCE_DIR}/runtime/date/*.cpp")
add_executable(days_after_bench
  "${CMAKE_CURRENT_SOURCE_DIR}/days_after_bench.cpp"
  "${CMAKE_CURRENT_SOURCE_DIR}/alloc_count.c"
  ${_days_after_runtime})
target_include_directories(days_after_bench PRIVATE "${PROJECT_SOURCE_DIR}")
target_link_libraries(days_after_bench PRIVATE benchmark::benchmark PkgConfig::ZVD_BENCH_GLIB Threads::Threads)
target_compile_options(days_after_bench PRIVATE -O2)
# The counting allocator must not be turned back into calls of itself.
set_source_files_properties("${CMAKE_CURRENT_SOURCE_DIR}/alloc_count.c" PROPERTIES COMPILE_OPTIONS "-fno-builtin")
