// The window's geometry as a function of its size: each edge of a control follows its
// parent's growth by its share, nested controls follow their grown parents, and nothing
// shrinks below the default layout.

#include "app/Anchors.h"

#include "PrintPixelRect.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tarvio;

namespace {

TEST(Anchors, edgesMoveByTheirShareOfTheGrowth) {
    const PixelRect box{10, 20, 100, 50};
    struct Case {
        const char* name;
        Anchors anchors;
        int extraWidth, extraHeight;
        PixelRect expected;
    };
    const Case cases[] = {
        {"fixed", anchor::Fixed, 300, 200, {10, 20, 100, 50}},
        {"fill", anchor::Fill, 300, 200, {10, 20, 400, 250}},
        {"down", anchor::Down, 300, 200, {10, 220, 100, 50}},
        {"down right", anchor::DownRight, 300, 200, {310, 220, 100, 50}},
        {"down and wider", anchor::DownAndWider, 300, 200, {10, 220, 400, 50}},
        {"taller", anchor::Taller, 300, 200, {10, 20, 100, 250}},
        {"no growth", anchor::Fill, 0, 0, box},
        // A third of 100 is 33.3 and two thirds 66.7: each edge rounds on its own.
        {"a third wider", {0, 0, 1.0 / 3, 0}, 100, 0, {10, 20, 133, 50}},
        {"after a third", {1.0 / 3, 0, 1, 0}, 100, 0, {43, 20, 167, 50}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(anchoredRect(box, c.anchors, c.extraWidth, c.extraHeight), c.expected) << c.name;
}

TEST(Anchors, neighboursSharingAnEdgeShareKeepTheirGapAtEveryWidth) {
    // Two columns splitting the growth a third to two thirds, 7 pixels apart.
    const PixelRect leftColumn{192, 8, 241, 228};
    const PixelRect rightColumn{440, 8, 361, 369};
    const Anchors leftAnchors{0, 0, 1.0 / 3, 1};
    const Anchors rightAnchors{1.0 / 3, 0, 1, 1};
    for (int extra = 0; extra < 3000; ++extra) {
        const PixelRect a = anchoredRect(leftColumn, leftAnchors, extra, extra);
        const PixelRect b = anchoredRect(rightColumn, rightAnchors, extra, extra);
        ASSERT_EQ(b.left - a.right(), 7) << extra;
        ASSERT_EQ(b.right(), rightColumn.right() + extra) << extra;
    }
}

TEST(Anchors, layOut_nestedControlsFollowTheirGrownParent) {
    const std::vector<AnchoredItem> items = {
        {-1, {440, 8, 361, 369}, {0.5, 0, 1, 1}}, // a group taking half the extra width
        {0, {10, 16, 327, 283}, anchor::Fill},    // its panel
        {1, {4, 4, 321, 273}, anchor::Fill},      // the image in the panel
        {0, {297, 318, 49, 18}, anchor::DownRight}, {-1, {8, 272, 177, 105}, anchor::Taller},
    };
    const PixelSize defaults{809, 384};

    const std::vector<PixelRect> grown = layOut(items, defaults, {1409, 784});
    ASSERT_EQ(grown.size(), items.size());
    EXPECT_EQ(grown[0], (PixelRect{740, 8, 661, 769}));
    EXPECT_EQ(grown[1], (PixelRect{10, 16, 627, 683}));
    EXPECT_EQ(grown[2], (PixelRect{4, 4, 621, 673}));
    EXPECT_EQ(grown[3], (PixelRect{597, 718, 49, 18}));
    EXPECT_EQ(grown[4], (PixelRect{8, 272, 177, 505}));

    // The default size, or less: exactly the default layout.
    for (PixelSize size : {defaults, PixelSize{500, 200}}) {
        const std::vector<PixelRect> rects = layOut(items, defaults, size);
        for (std::size_t i = 0; i < items.size(); ++i)
            EXPECT_EQ(rects[i], items[i].original) << i;
    }
    // Wider but lower: only the width grows.
    const std::vector<PixelRect> wider = layOut(items, defaults, {1409, 100});
    EXPECT_EQ(wider[2], (PixelRect{4, 4, 621, 273}));
    EXPECT_EQ(wider[4], items[4].original);
}

TEST(Anchors, layOut_aParentNotYetLaidOutCountsAsNotGrown) {
    const std::vector<AnchoredItem> items = {
        {1, {1, 1, 10, 10}, anchor::Fill}, // names a later item as its parent
        {-1, {0, 0, 50, 50}, anchor::Fill},
        {7, {2, 2, 10, 10}, anchor::Fill}, // names no item at all
    };
    const std::vector<PixelRect> rects = layOut(items, {100, 100}, {200, 300});
    EXPECT_EQ(rects[0], (PixelRect{1, 1, 10, 10}));
    EXPECT_EQ(rects[1], (PixelRect{0, 0, 150, 250}));
    EXPECT_EQ(rects[2], (PixelRect{2, 2, 10, 10}));
}

} // namespace
