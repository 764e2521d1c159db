# SPDX-License-Identifier: MIT
# Event queue and registry lookups: post+fetch per event against a heap-allocating
# queue, numbered against handle lookups, and heap allocations per event.
add_executable(events_bench "${CMAKE_CURRENT_LIST_DIR}/events_bench.cpp")
target_link_libraries(events_bench PRIVATE zvd_gui benchmark::benchmark)
