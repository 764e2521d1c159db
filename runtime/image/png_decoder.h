// SPDX-License-Identifier: MIT
// PNG decoder: any PNG colour type and bit depth into 8-bit RGB or RGBA rows, through
// libpng's sequential read interface.
#pragma once

#include <cstdint>

#include "runtime/image/image.h"

// png_decoder_register: append the PNG decoder to the decoder table (once per process).
// png_decoder_open: accept a PNG whose header libpng reads, transformations chosen; else decline.
// png_decoder_read: decode every row (all Adam7 passes) into the buffer; 0 on a libpng error.
// png_decoder_close: destroy the libpng structures.
// png_decoder: the decoder's descriptor.

void png_decoder_register();
int png_decoder_open(DecodeContext* context);
int png_decoder_read(DecodeContext* context, uint8_t* buffer, int stride);
void png_decoder_close(DecodeContext* context);
const ImageDecoder* png_decoder();
