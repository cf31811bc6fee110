#include "handlers/colour_conversion.h"

#include <algorithm>

namespace tarvil {

namespace {
constexpr int kHbsMax = 240;
constexpr int kRgbMax = 255;
}  // namespace

HbsColour RgbToHbs(int red, int green, int blue) {
    const int max = std::max({red, green, blue});
    const int min = std::min({red, green, blue});
    const int brightness = ((max + min) * kHbsMax + kRgbMax) / (2 * kRgbMax);
    if (max == min) return {0, static_cast<uint8_t>(brightness), 0};

    // The divisors below are positive: max > min rules out max + min = 0 and = 510.
    const int d = max - min;
    const int saturation = brightness <= kHbsMax / 2 ? d * kHbsMax / (max + min)
                                                     : d * kHbsMax / (2 * kRgbMax - max - min);
    const int rd = (max - red) * (kHbsMax / 6) / d;
    const int gd = (max - green) * (kHbsMax / 6) / d;
    const int bd = (max - blue) * (kHbsMax / 6) / d;
    int hue;
    if (red == max) {
        hue = bd - gd;
    } else if (green == max) {
        hue = kHbsMax / 3 + rd - bd;
    } else {
        hue = 2 * kHbsMax / 3 + gd - rd;
    }
    if (hue < 0) {
        hue += kHbsMax;
    } else if (hue > kHbsMax) {
        hue -= kHbsMax;
    }
    return {static_cast<uint8_t>(hue), static_cast<uint8_t>(brightness),
            static_cast<uint8_t>(saturation)};
}

int HueToRgb(int lo, int hi, int hue) {
    if (hue < 0) hue += kHbsMax;
    if (hue > kHbsMax) hue -= kHbsMax;
    if (hue < kHbsMax / 6) return lo + ((hi - lo) * hue + kHbsMax / 12) / (kHbsMax / 6);
    if (hue < kHbsMax / 2) return hi;
    if (hue < 2 * kHbsMax / 3) {
        return lo + ((hi - lo) * (2 * kHbsMax / 3 - hue) + kHbsMax / 12) / (kHbsMax / 6);
    }
    return lo;
}

RgbColour HbsToRgb(int hue, int brightness, int saturation) {
    if (saturation == 0) {
        const auto grey = static_cast<uint8_t>(brightness * kRgbMax / kHbsMax);
        return {grey, grey, grey};
    }
    const int hi =
        brightness <= kHbsMax / 2
            ? (brightness * (kHbsMax + saturation) + kHbsMax / 2) / kHbsMax
            : brightness + saturation - (brightness * saturation + kHbsMax / 2) / kHbsMax;
    const int lo = 2 * brightness - hi;
    auto toRgb = [](int component) {
        return static_cast<uint8_t>((component * kRgbMax + kHbsMax / 2) / kHbsMax);
    };
    return {toRgb(HueToRgb(lo, hi, hue + kHbsMax / 3)), toRgb(HueToRgb(lo, hi, hue)),
            toRgb(HueToRgb(lo, hi, hue - kHbsMax / 3))};
}

}  // namespace tarvil
