#pragma once

#include <cstdio>
#include <string>

#include "record/image.h"

// Writes image as a lossless 8-bit RGB PNG to out. No time or other varying chunk: equal images
// give equal files. Returns false, with one line naming the cause in error, when libpng or a
// write fails (a full disk included); never longjmps out or aborts.
bool writePng(std::FILE* out, const Image& image, std::string& error);
