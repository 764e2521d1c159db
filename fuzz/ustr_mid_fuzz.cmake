# SPDX-License-Identifier: MIT
# libFuzzer target for ustr_mid; seed corpus in corpus/ustr_mid.
add_executable(fuzz_ustr_mid ${CMAKE_CURRENT_LIST_DIR}/ustr_mid_fuzz.cpp)
target_link_libraries(fuzz_ustr_mid PRIVATE zvd_strings)
target_compile_options(fuzz_ustr_mid PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_ustr_mid PRIVATE -fsanitize=fuzzer,address,undefined)
# The string library carries the coverage instrumentation the fuzzer is guided by.
target_compile_options(zvd_strings PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
