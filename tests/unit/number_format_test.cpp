// Numbers shown by DSPMES and the debug listing, and the names of number
// constants: byte for byte what "%g" and "%f" write in the C locale.
#include <gtest/gtest.h>

#include <bit>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "engine/values.h"

namespace tarvil {
namespace {

std::string Printed(const char* format, double value) {
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

TEST(NumberFormatTest, SameAsPrintfInTheCLocale) {
    ASSERT_STREQ(std::localeconv()->decimal_point, ".");
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.5,
                                  -0.5,
                                  1.5,
                                  2.5e-3,
                                  1.0 / 3,
                                  2.0 / 3,
                                  3.1415927,
                                  100000,
                                  999999,
                                  999999.5,
                                  1e6,
                                  1234567,
                                  123456789,
                                  1e-4,
                                  1e-5,
                                  0.0001234567,
                                  0.00001234567,
                                  9.999995e-5,
                                  1e38,
                                  3.4028234663852886e38,
                                  1.1754943508222875e-38,
                                  1.4e-45,
                                  1e-300,
                                  1e300,
                                  std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::denorm_min(),
                                  4294967296.0,
                                  -4294967295.0,
                                  kInfinity,
                                  -kInfinity,
                                  kNan,
                                  -kNan};
    // Single-precision values spread over the whole range, as scripts hold them.
    for (uint32_t bits = 0; bits < 0xFF800000u; bits += 0x0001F3A7u) {
        values.push_back(static_cast<double>(std::bit_cast<float>(bits)));
        values.push_back(-static_cast<double>(std::bit_cast<float>(bits)));
    }
    for (const double value : values) {
        EXPECT_EQ(FormatNumber(value), Printed("%g", value)) << Printed("%.17g", value);
        EXPECT_EQ(FormatFixed(value), Printed("%f", value)) << Printed("%.17g", value);
    }
}

}  // namespace
}  // namespace tarvil
