// Where the executable looks for the desktop module, and what it says when the
// module is not there.
#include "batch/desktop_module_loader.h"

#include <gtest/gtest.h>

namespace tarvil::testing {
namespace {

TEST(DesktopModule, IsLookedForBesideTheProgramThenInTheInstalledFolder) {
    const struct {
        const char* executable;
        const char* installedDir;
        std::vector<std::string> expected;
    } cases[] = {
        {"/usr/bin/tarvil",
         "../lib/tarvil",
         {"/usr/bin/libtarvil_desktop.so", "/usr/bin/../lib/tarvil/libtarvil_desktop.so"}},
        {"/opt/t/bin/tarvil",
         "../lib/x86_64-linux-gnu/tarvil",
         {"/opt/t/bin/libtarvil_desktop.so",
          "/opt/t/bin/../lib/x86_64-linux-gnu/tarvil/libtarvil_desktop.so"}},
        {"/tarvil",
         "../lib/tarvil",
         {"/libtarvil_desktop.so", "/../lib/tarvil/libtarvil_desktop.so"}},
        {"tarvil", "lib/", {"./libtarvil_desktop.so", "./lib/libtarvil_desktop.so"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DesktopModuleCandidates(c.executable, c.installedDir), c.expected)
            << c.executable;
    }
}

TEST(DesktopModule, AbsentModuleIsReportedWithWhereItWasLookedFor) {
    // The test program's folder holds no module, nor does the installed folder beside it.
    std::string error;
    EXPECT_FALSE(LoadDesktopModule(error).has_value());
    EXPECT_NE(error.find("libtarvil_desktop.so is neither in /"), std::string::npos) << error;
    EXPECT_NE(error.find(" nor in /"), std::string::npos) << error;
}

}  // namespace
}  // namespace tarvil::testing
