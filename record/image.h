#pragma once

#include <cstdint>
#include <vector>

// An RGB picture, 8 bits per channel, rows from the top.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3 bytes
};
