# SPDX-License-Identifier: MIT
# libFuzzer target for ustr_val; seed corpus in corpus/ustr_val.
add_executable(fuzz_ustr_val ${CMAKE_CURRENT_LIST_DIR}/ustr_val_fuzz.cpp)
target_link_libraries(fuzz_ustr_val PRIVATE zvd_strings)
target_compile_options(fuzz_ustr_val PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_ustr_val PRIVATE -fsanitize=fuzzer,address,undefined)
# The string library carries the coverage instrumentation the fuzzer is guided by.
target_compile_options(zvd_strings PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
