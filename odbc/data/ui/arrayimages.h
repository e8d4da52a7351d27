// Images held in memory (icon and bitmap bytes as a database keeps them),
// decoded for the windows.
#pragma once

#include <cstdint>
#include <vector>

class wxImage;

// Each returns an invalid image when the data is not a whole image of its
// kind (IconFileOfArray, BitmapFileOfArray) or does not decode.
wxImage GetFromArrayIcon(const std::vector<std::uint8_t>& data);
wxImage GetBitmapFromArray(const std::vector<std::uint8_t>& data);
