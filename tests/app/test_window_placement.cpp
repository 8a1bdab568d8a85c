// Window placement: twips in the settings, pixels on the screen.
#include <gtest/gtest.h>

#include "app/window_placement.h"
#include "tests/support/qt_printers.h"
#include "ui/screen_fit.h"

namespace orvane {
namespace {

const ScreenMetrics kScreen{QRect(0, 0, 1920, 1080), 96.0, 96.0};

StoredPlacement Stored(const char* left, const char* top, const char* width, const char* height,
                       const char* state) {
    return {QString::fromLatin1(left), QString::fromLatin1(top), QString::fromLatin1(width),
            QString::fromLatin1(height), QString::fromLatin1(state)};
}

TEST(WindowPlacement, TwipsFollowTheScreenDensity) {
    EXPECT_EQ(TwipsToPixels(1440, 96.0), 96);
    EXPECT_EQ(TwipsToPixels(10500, 96.0), 700);
    EXPECT_EQ(TwipsToPixels(10500, 144.0), 1050);
    EXPECT_EQ(PixelsToTwips(700, 96.0), 10500);
    EXPECT_EQ(PixelsToTwips(TwipsToPixels(7275, 96.0), 96.0), 7275);
}

TEST(WindowPlacement, MissingWidthGivesDefaultSizeCentred) {
    const Placement placement = PlacementFromStored({}, kScreen);
    EXPECT_EQ(placement.geometry, QRect(610, 297, 700, 485));
    EXPECT_EQ(placement.state, StoredWindowState::Normal);
    // Other values are not consulted when the width is missing.
    EXPECT_EQ(PlacementFromStored(Stored("15", "15", "", "3000", "2"), kScreen).geometry,
              placement.geometry);
}

TEST(WindowPlacement, DefaultIsCentredOnTheWindowsOwnScreen) {
    const ScreenMetrics second{QRect(1920, 0, 1280, 1024), 96.0, 96.0};
    const Placement placement = PlacementFromStored({}, second);
    EXPECT_EQ(placement.geometry.center().x(), second.geometry.center().x());
}

TEST(WindowPlacement, StoredValuesAreUsedAndMinimisedOpensNormal) {
    Placement placement = PlacementFromStored(Stored("1500", "750", "9000", "6000", "0"), kScreen);
    EXPECT_EQ(placement.geometry, QRect(100, 50, 600, 400));
    EXPECT_EQ(placement.state, StoredWindowState::Normal);
    placement = PlacementFromStored(Stored("1500", "750", "9000", "6000", "1"), kScreen);
    EXPECT_EQ(placement.state, StoredWindowState::Normal);
    placement = PlacementFromStored(Stored("1500", "750", "9000", "6000", "2"), kScreen);
    EXPECT_EQ(placement.state, StoredWindowState::Maximized);
    EXPECT_EQ(placement.geometry, QRect(100, 50, 600, 400));
}

TEST(WindowPlacement, UnreachableOrSizelessPlacementIsCentred) {
    // The monitor that held the window is gone.
    Placement placement =
        PlacementFromStored(Stored("60000", "60000", "9000", "6000", "2"), kScreen);
    EXPECT_EQ(placement.geometry, QRect(610, 297, 700, 485));
    EXPECT_EQ(placement.state, StoredWindowState::Maximized);
    placement = PlacementFromStored(Stored("0", "0", "-300", "junk", "0"), kScreen);
    EXPECT_EQ(placement.geometry, QRect(610, 297, 700, 485));
}

TEST(WindowPlacement, ShutdownWritesPositionOnlyInNormalState) {
    StoredPlacement stored = StoredFromWindow(QRect(100, 50, 600, 400), Qt::WindowNoState, kScreen);
    EXPECT_EQ(stored.left, QVariant(QStringLiteral("1500")));
    EXPECT_EQ(stored.top, QVariant(QStringLiteral("750")));
    EXPECT_EQ(stored.width, QVariant(QStringLiteral("9000")));
    EXPECT_EQ(stored.height, QVariant(QStringLiteral("6000")));
    EXPECT_EQ(stored.state, QVariant(QStringLiteral("0")));

    stored = StoredFromWindow(QRect(0, 0, 1920, 1080), Qt::WindowMaximized, kScreen);
    EXPECT_TRUE(stored.width.isNull());
    EXPECT_TRUE(stored.left.isNull());
    EXPECT_EQ(stored.state, QVariant(QStringLiteral("2")));

    stored =
        StoredFromWindow(QRect(0, 0, 10, 10), Qt::WindowMinimized | Qt::WindowMaximized, kScreen);
    EXPECT_TRUE(stored.width.isNull());
    EXPECT_EQ(stored.state, QVariant(QStringLiteral("1")));
}

TEST(WindowPlacement, APlacementLargerThanTheFreeAreaIsFittedInsideIt) {
    // A 1280x1000 screen at scale 2 offers 640x500, less a 24 px panel.
    const QRect free(0, 24, 640, 476);
    const struct {
        QRect wanted;
        QRect available;
        QRect fitted;
    } cases[] = {
        {QRect(0, 100, 1400, 970), free, QRect(0, 24, 640, 476)},      // both ways too big
        {QRect(100, 300, 500, 400), free, QRect(100, 100, 500, 400)},  // moved up into it
        {QRect(-50, 30, 300, 200), free, QRect(0, 30, 300, 200)},      // off the left edge
        {QRect(500, 30, 300, 200), free, QRect(340, 30, 300, 200)},    // off the right edge
        {QRect(10, 30, 300, 200), free, QRect(10, 30, 300, 200)},      // fits: unchanged
        {QRect(1900, 50, 900, 300), QRect(1920, 0, 800, 600), QRect(1920, 50, 800, 300)},
        {QRect(10, 30, 3000, 200), QRect(), QRect(10, 30, 3000, 200)},  // no screen known
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitInside(c.wanted, c.available), c.fitted)
            << c.wanted.x() << "," << c.wanted.y();
    }
}

TEST(WindowPlacement, StoredAndDefaultPlacementsOpenInsideTheFreeArea) {
    const ScreenMetrics scaled{QRect(0, 0, 640, 500), 96.0, 96.0};
    const QRect free(0, 24, 640, 476);
    const struct {
        StoredPlacement stored;
        QRect geometry;
    } cases[] = {
        {Stored("0", "1500", "21000", "14550", "0"), QRect(0, 24, 640, 476)},
        {{}, QRect(0, 24, 640, 476)},  // the default 700x485 is too big as well
        {Stored("1500", "750", "4500", "3000", "0"), QRect(100, 50, 300, 200)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlacementFromStored(c.stored, scaled, free).geometry, c.geometry)
            << c.stored.width.toString().toStdString();
    }
}

}  // namespace
}  // namespace orvane
