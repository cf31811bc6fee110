// Conversion between RGB (0 to 255 per component) and HBS (hue, brightness,
// saturation on a 0 to 240 scale: hue 0 red, 80 green, 160 blue; brightness
// 240 white; saturation 240 fully saturated). Integer steps throughout, so a
// round trip may move a component by a few units.
#pragma once

#include <cstdint>

namespace tarvil {

struct RgbColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

struct HbsColour {
    uint8_t hue = 0;
    uint8_t brightness = 0;
    uint8_t saturation = 0;
};

HbsColour RgbToHbs(int red, int green, int blue);

// Components above 240 are converted by the same formulas; each result keeps its low 8 bits.
RgbColour HbsToRgb(int hue, int brightness, int saturation);

// One RGB component on the 0 to 240 scale for the hue, between lo and hi.
int HueToRgb(int lo, int hi, int hue);

}  // namespace tarvil
