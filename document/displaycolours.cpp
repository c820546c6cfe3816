#include "displaycolours.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double kMinContrast = 4.5;

// The sRGB channel in linear light; painting asks for every run it draws, so the 256
// values are worked out once.
double linear(uint8_t channel)
{
    static const std::array<double, 256> table = [] {
        std::array<double, 256> values {};
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double c = static_cast<double>(i) / 255.0;
            values[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
        }
        return values;
    }();
    return table[channel];
}

double luminance(Rgb colour)
{
    return 0.2126 * linear(colour.r) + 0.7152 * linear(colour.g) + 0.0722 * linear(colour.b);
}

// The same hue and saturation at lightness 1 - L, for a colour below the middle. There
// a colour's chroma is 2·L·S, the same at 1 - L, so every channel moves by the same
// 1 - 2·L = 1 - (highest + lowest).
Rgb mirrorLightness(Rgb colour)
{
    const int sum
        = std::max({ colour.r, colour.g, colour.b }) + std::min({ colour.r, colour.g, colour.b });
    if (sum >= 255) {
        return colour;
    }
    const auto shift = [sum](uint8_t c) { return static_cast<uint8_t>(c + 255 - sum); };
    return Rgb { shift(colour.r), shift(colour.g), shift(colour.b) };
}

Rgb towardsWhite(Rgb colour, int weight)
{
    const auto blend = [weight](uint8_t c) {
        return static_cast<uint8_t>(c + ((255 - c) * weight + 127) / 255);
    };
    return Rgb { blend(colour.r), blend(colour.g), blend(colour.b) };
}

} // namespace

double ContrastRatio(Rgb a, Rgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkBackground(Rgb background)
{
    // White beats black where (1 + 0.05) / (L + 0.05) > (L + 0.05) / 0.05.
    const double shifted = luminance(background) + 0.05;
    return shifted * shifted < 1.05 * 0.05;
}

Rgb DisplayColour(Rgb colour, Rgb background)
{
    if (!IsDarkBackground(background)) {
        return colour;
    }
    const Rgb mirrored = mirrorLightness(colour);
    if (ContrastRatio(mirrored, background) >= kMinContrast) {
        return mirrored;
    }
    // White reaches at least 4.58:1 on every dark background, so the search ends
    // there at the latest; the smallest step keeps as much of the hue as it can.
    int low = 0;
    int high = 255;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (ContrastRatio(towardsWhite(mirrored, middle), background) >= kMinContrast) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return towardsWhite(mirrored, low);
}
