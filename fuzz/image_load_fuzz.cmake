# SPDX-License-Identifier: MIT
# libFuzzer target for image_load with every decoder; seed corpus in corpus/image_load.
add_executable(fuzz_image_load ${CMAKE_CURRENT_LIST_DIR}/image_load_fuzz.cpp)
target_link_libraries(fuzz_image_load PRIVATE zvd_image)
target_compile_options(fuzz_image_load PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_options(fuzz_image_load PRIVATE -fsanitize=fuzzer,address,undefined)
