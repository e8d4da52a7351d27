// How start lights a button and the bands beside it, as pixel arithmetic on
// RGB rows, so that the rules can be checked without a display.
#pragma once

#include "start/startini.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace start {

struct StartRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const StartRect&) const = default;
};

enum class HoverEffect { None, Lighten, Tint };

// Alpha of a button's own tint, and of the bands beside it.
inline constexpr std::uint8_t kButtonTintAlpha = 0x5A;
inline constexpr std::uint8_t kBandTintAlpha = 0xB4;
// How far a lightened pixel moves toward white, in percent.
inline constexpr int kLightenPercent = 40;

HoverEffect EffectOf(const CButtonTemplate& t);
// The bands at the button's height left and right of it (10 pixels apart
// from it); a band narrower or lower than 10 pixels is not drawn, nor are
// bands when full-line selection is off or the button has no effect.
std::vector<StartRect> BandRects(const CButtonTemplate& t, int clientWidth);

// Rows of RGB triples, changed in place.
void LightenPixels(std::uint8_t* rgb, std::size_t pixels);
// Source-over of `colour` at `alpha`, blended in linear light.
void TintPixels(std::uint8_t* rgb, std::size_t pixels, COLORREF colour, std::uint8_t alpha);

} // namespace start
