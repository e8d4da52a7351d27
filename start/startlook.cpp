#include "start/startlook.h"

#include <array>
#include <cmath>

namespace start {

namespace {

// sRGB byte → linear light in [0, 1], and back.
const std::array<float, 256>& LinearTable()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            float c = static_cast<float>(i) / 255.0f;
            t[static_cast<std::size_t>(i)] =
                c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
        }
        return t;
    }();
    return table;
}

std::uint8_t ToSrgb(float linear)
{
    float c = linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
    long v = std::lround(c * 255.0f);
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

HoverEffect EffectOf(const CButtonTemplate& t)
{
    if (t.m_bSelection != 0)
        return HoverEffect::Lighten;
    if (t.m_clrLightSelection != 0)
        return HoverEffect::Tint;
    return HoverEffect::None;
}

std::vector<StartRect> BandRects(const CButtonTemplate& t, int clientWidth)
{
    std::vector<StartRect> bands;
    if (t.m_bFullLineSelection == 0 || EffectOf(t) == HoverEffect::None)
        return bands;
    const int by = t.m_ptBegin.y, ey = t.m_ptEnd.y;
    const int height = ey - by;
    if (height < 10)
        return bands;
    if (t.m_ptBegin.x > 10) {
        StartRect left{0, by, t.m_ptBegin.x - 10, height};
        if (left.width >= 10)
            bands.push_back(left);
    }
    if (clientWidth - t.m_ptEnd.x > 10) {
        StartRect right{t.m_ptEnd.x + 10, by, clientWidth - (t.m_ptEnd.x + 10), height};
        if (right.width >= 10)
            bands.push_back(right);
    }
    return bands;
}

void LightenPixels(std::uint8_t* rgb, std::size_t pixels)
{
    for (std::size_t i = 0; i < pixels * 3; ++i)
        rgb[i] = static_cast<std::uint8_t>(rgb[i] + (255 - rgb[i]) * kLightenPercent / 100);
}

void TintPixels(std::uint8_t* rgb, std::size_t pixels, COLORREF colour, std::uint8_t alpha)
{
    const auto& lin = LinearTable();
    const float a = static_cast<float>(alpha) / 255.0f;
    const float tint[3] = {lin[RedOf(colour)] * a, lin[GreenOf(colour)] * a, lin[BlueOf(colour)] * a};
    for (std::size_t p = 0; p < pixels; ++p)
        for (int c = 0; c < 3; ++c) {
            std::uint8_t& v = rgb[p * 3 + static_cast<std::size_t>(c)];
            v = ToSrgb(lin[v] * (1.0f - a) + tint[c]);
        }
}

} // namespace start
