# SPDX-License-Identifier: MIT
# libFuzzer target for the BMP decoder; seed corpus in corpus/bmp_decoder.
add_executable(fuzz_bmp_decoder ${CMAKE_CURRENT_LIST_DIR}/bmp_decoder_fuzz.cpp)
target_link_libraries(fuzz_bmp_decoder PRIVATE zvd_image)
target_compile_options(fuzz_bmp_decoder PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_bmp_decoder PRIVATE -fsanitize=fuzzer,address,undefined)
# The image library carries the coverage instrumentation the fuzzer is guided by.
target_compile_options(zvd_image PRIVATE -fsanitize=fuzzer-no-link,address,undefined)
