# SPDX-License-Identifier: MIT
# libFuzzer target for date_format; seed corpus in corpus/date_format.
add_executable(fuzz_date_format ${CMAKE_CURRENT_LIST_DIR}/date_format_fuzz.cpp)
target_link_libraries(fuzz_date_format PRIVATE zvd_date)
target_compile_options(fuzz_date_format PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_date_format PRIVATE -fsanitize=fuzzer,address,undefined)
# The date library carries the coverage instrumentation the fuzzer is guided by.
target_compile_options(zvd_date PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
