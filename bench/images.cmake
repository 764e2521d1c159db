# SPDX-License-Identifier: MIT
# images_bench: decoding a large 24-bit BMP and a large PNG with the image layer
# (image_load) against gdk-pixbuf's own loaders, in one run, with the time ratios.
add_executable(images_bench "${CMAKE_CURRENT_SOURCE_DIR}/images_bench.cpp")
target_link_libraries(images_bench PRIVATE zvd_image benchmark::benchmark)
target_compile_options(images_bench PRIVATE -O2)
