// SPDX-License-Identifier: MIT
// BMP decoder: uncompressed 1/4/8/16/24/32-bit and RLE8 Windows bitmaps into 24-bit RGB rows.
#pragma once

#include <cstdint>

#include "runtime/image/image.h"

// bmp_decoder_register: append the BMP decoder to the decoder table (no once flag).
// bmp_decoder_open: accept a file whose header says BM (reads the whole file), else decline.
// bmp_decoder_read: convert the pixels into the destination rows, bottom file row last; always 1.
// bmp_decoder_close: free the file data.
// bmp_decoder: the decoder's descriptor.

void bmp_decoder_register();
int bmp_decoder_open(DecodeContext* context);
int bmp_decoder_read(DecodeContext* context, uint8_t* buffer, int stride);
void bmp_decoder_close(DecodeContext* context);
const ImageDecoder* bmp_decoder();
