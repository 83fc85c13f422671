#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A PNG (8-bit RGB, no interlace) of the pixels, rows top-down with the given stride.
// Unfiltered rows deflated by zlib: small code, files any viewer opens.
std::vector<uint8_t> EncodePng(const uint8_t* rgb, int width, int height, size_t stride);
// Writes it to a file; false when the picture is empty or the file cannot be written.
bool WritePngFile(const std::string& path, const uint8_t* rgb, int width, int height,
                  size_t stride);
