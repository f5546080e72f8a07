// Where the window opens from a remembered geometry: where it was, as long as it can still be
// grabbed on a screen; otherwise centred on the first screen.

#include "app/ScreenPlacement.h"

#include "PrintPixelRect.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tarvio;

namespace {

TEST(ScreenPlacement, rememberedGeometry_keptMovedShrunkOrCentred) {
    // A full-HD screen with a panel at the top, and a smaller one to its right.
    const std::vector<PixelRect> screens = {{0, 30, 1920, 1050}, {1920, 0, 1280, 1024}};
    const PixelSize minimum{817, 436};
    struct Case {
        const char* name;
        PixelRect remembered;
        PixelRect expected;
    };
    const Case cases[] = {
        {"on the first screen", {100, 80, 1600, 900}, {100, 80, 1600, 900}},
        {"on the second screen", {2000, 100, 1000, 700}, {2000, 100, 1000, 700}},
        {"hanging off the right edge", {2500, 100, 1000, 500}, {2200, 100, 1000, 500}},
        {"title bar under the panel", {100, 10, 900, 500}, {510, 305, 900, 500}},
        {"larger than its screen", {1950, 10, 2000, 1500}, {1920, 0, 1280, 1024}},
        {"below the minimum", {100, 100, 300, 200}, {100, 100, 817, 436}},
        {"on a screen that is gone", {-1800, 200, 1000, 600}, {460, 255, 1000, 600}},
        {"gone, larger than the first", {5000, 0, 3000, 2000}, {0, 30, 1920, 1050}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(restoredGeometry(c.remembered, screens, minimum), c.expected) << c.name;
}

TEST(ScreenPlacement, minimumLargerThanTheScreen_titleBarStaysOnIt) {
    const std::vector<PixelRect> screens = {{0, 0, 800, 600}};
    EXPECT_EQ(restoredGeometry({4000, 4000, 900, 700}, screens, {900, 700}),
              (PixelRect{0, 0, 900, 700}));
    EXPECT_EQ(restoredGeometry({300, 200, 900, 700}, screens, {900, 700}),
              (PixelRect{0, 0, 900, 700}));
    // No screen at all: nothing to go by.
    EXPECT_EQ(restoredGeometry({4000, 4000, 900, 700}, {}, {900, 700}),
              (PixelRect{4000, 4000, 900, 700}));
}

} // namespace
