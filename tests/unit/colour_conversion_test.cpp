#include "handlers/colour_conversion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

namespace tarvil {
namespace {

using Triple = std::tuple<int, int, int>;

Triple ToTriple(HbsColour c) {
    return {c.hue, c.brightness, c.saturation};
}
Triple ToTriple(RgbColour c) {
    return {c.red, c.green, c.blue};
}

TEST(ColourConversion, RgbToHbsWorkedValues) {
    const struct {
        Triple rgb;
        Triple hbs;
    } cases[] = {
        {{255, 0, 0}, {0, 120, 240}},     {{0, 255, 0}, {80, 120, 240}},
        {{0, 0, 255}, {160, 120, 240}},   {{255, 128, 0}, {21, 120, 240}},
        {{128, 128, 128}, {0, 120, 0}},   {{200, 100, 50}, {14, 118, 144}},
        {{10, 20, 31}, {140, 19, 122}},    // blue is the largest
        {{255, 0, 128}, {219, 120, 240}},  // a negative hue wraps round to 240 - 21
        {{255, 255, 255}, {0, 240, 0}},   {{0, 0, 0}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        const auto [r, g, b] = c.rgb;
        EXPECT_EQ(ToTriple(RgbToHbs(r, g, b)), c.hbs) << r << "," << g << "," << b;
    }
}

TEST(ColourConversion, HbsToRgbWorkedValues) {
    const struct {
        Triple hbs;
        Triple rgb;
    } cases[] = {
        {{21, 120, 240}, {255, 134, 0}},
        {{0, 120, 0}, {127, 127, 127}},
        {{0, 240, 0}, {255, 255, 255}},
        {{0, 120, 240}, {255, 0, 0}},
        {{80, 120, 240}, {0, 255, 0}},
        {{160, 120, 240}, {0, 0, 255}},
        // Components above 240 follow the same formulas and keep their low 8 bits.
        {{0, 250, 250}, {255, 20, 20}},
        {{0, 100, 255}, {219, 251, 251}},
    };
    for (const auto& c : cases) {
        const auto [h, b, s] = c.hbs;
        EXPECT_EQ(ToTriple(HbsToRgb(h, b, s)), c.rgb) << h << "," << b << "," << s;
    }
}

TEST(ColourConversion, HueToRgbCoversEverySegmentAndWrap) {
    const struct {
        int hue;
        int expected;
    } cases[] = {
        {0, 0},     {20, 120}, {39, 234}, {40, 240}, {119, 240}, {120, 240},
        {130, 180}, {159, 6},  {160, 0},  {239, 0},  {-10, 0},   {250, 60},
    };
    for (const auto& c : cases) EXPECT_EQ(HueToRgb(0, 240, c.hue), c.expected) << c.hue;
}

TEST(ColourConversion, GreysHaveNoHueAndSurviveARoundTrip) {
    for (int grey = 0; grey <= 255; ++grey) {
        const HbsColour hbs = RgbToHbs(grey, grey, grey);
        EXPECT_EQ(hbs.hue, 0);
        EXPECT_EQ(hbs.saturation, 0);
        const RgbColour back = HbsToRgb(hbs.hue, hbs.brightness, hbs.saturation);
        EXPECT_EQ(back.red, back.green);
        EXPECT_EQ(back.green, back.blue);
        EXPECT_LE(std::abs(back.red - grey), 1) << grey;
    }
}

TEST(ColourConversion, SaturatedColoursRoundTripClosely) {
    // 240 hue steps cannot hold 256 levels: a component may move by a few units, never by more
    // than 7.
    for (int r = 0; r <= 255; r += 5) {
        for (int g = 0; g <= 255; g += 5) {
            for (int b = 0; b <= 255; b += 5) {
                const HbsColour hbs = RgbToHbs(r, g, b);
                EXPECT_LE(hbs.hue, 240);
                EXPECT_LE(hbs.brightness, 240);
                EXPECT_LE(hbs.saturation, 240);
                const RgbColour back = HbsToRgb(hbs.hue, hbs.brightness, hbs.saturation);
                EXPECT_LE(std::abs(back.red - r), 7) << r << "," << g << "," << b;
                EXPECT_LE(std::abs(back.green - g), 7) << r << "," << g << "," << b;
                EXPECT_LE(std::abs(back.blue - b), 7) << r << "," << g << "," << b;
            }
        }
    }
}

}  // namespace
}  // namespace tarvil
