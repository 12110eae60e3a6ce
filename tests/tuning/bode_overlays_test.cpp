#include "tuning/bode_overlays.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "temp_dir.h"

namespace zrd::tuning {
namespace {

// Values whose shortest decimal text is long or exponential: a lossy writer changes them.
std::vector<ChartPoint> awkwardCurve() {
    return {{0.0, -0.0, 1.0 / 3.0},
            {std::nextafter(1.0, 2.0), 1e-300, -std::numeric_limits<double>::max()},
            {1e20 / 7.0, -123456.78901234567, 2.0 / 3.0 * 1e-5}};
}

TEST(ResponseFile, ComesBackExactlyAndAMalformedOneIsRefusedWhole) {
    test::TempDir dir;
    const std::string path = dir.file("response.csv");
    const std::vector<ChartPoint> written = awkwardCurve();
    ASSERT_TRUE(writeResponseFile(path, written).ok);
    const ResponseFile read = readResponseFile(path);
    ASSERT_TRUE(read.ok()) << read.error;
    ASSERT_EQ(read.points.size(), written.size());
    for (size_t i = 0; i < written.size(); ++i) {
        EXPECT_EQ(read.points[i].frequency, written[i].frequency) << i;
        EXPECT_EQ(read.points[i].magnitudeDb, written[i].magnitudeDb) << i;
        EXPECT_EQ(read.points[i].phaseDeg, written[i].phaseDeg) << i;
    }

    struct Case {
        const char* text;
        const char* error;  // empty: accepted
    };
    for (const Case& c : {
             Case{"1,2,3\r\n2,3,4\r\n", ""},
             Case{"1,2,3\n2,3,4", ""},
             Case{"", "f.csv: no response points"},
             Case{"1,2,3\r\n\r\n2,3,4\r\n", "f.csv: line 2: expected frequency,dB,degrees"},
             Case{"1,2\r\n", "f.csv: line 1: expected frequency,dB,degrees"},
             Case{"1,2,3,4\r\n", "f.csv: line 1: expected frequency,dB,degrees"},
             Case{"1,2,3\r\n2;3;4\r\n", "f.csv: line 2: expected frequency,dB,degrees"},
             Case{"1,2,x\r\n", "f.csv: line 1: expected frequency,dB,degrees"},
             Case{"1,2,1e999\r\n", "f.csv: line 1: expected frequency,dB,degrees"},
             Case{"-1,2,3\r\n", "f.csv: line 1: the frequency is negative"},
             Case{"1,2,3\r\n3,2,3\r\n3,2,3\r\n", "f.csv: line 3: the frequency does not rise"},
         }) {
        SCOPED_TRACE(c.text);
        const ResponseFile f = parseResponseFile(c.text, "f.csv");
        EXPECT_EQ(f.error, c.error);
        EXPECT_EQ(f.points.size(), f.ok() ? 2u : 0u);
    }
}

// Three responses: the colours, the reference through a removal, and the difference on the
// shown curve's own grid against the reference interpolated there.
TEST(OverlayList, KeepsColoursAndReferenceAndDiffersOnTheCurvesGrid) {
    const auto overlay = [](std::vector<ChartPoint> points) {
        Overlay o = fileOverlay("curve", std::move(points));
        o.magnitudeRgb = kOverlayColours[0];
        o.phaseRgb = kOverlayColours[1];
        return o;
    };
    OverlayList list;
    list.add(overlay({{10, 0, 0}, {30, 4, -40}}));
    list.add(overlay({{0, 9, 9}, {20, 1, -10}, {40, 3, -30}}));
    list.add(overlay({{10, 0, 0}, {20, 1, 1}}));
    const std::vector<Overlay>& all = list.overlays();
    // The first keeps what it asked for; the others take a free colour for both curves, so that
    // no curve of one response has a colour of another's.
    EXPECT_EQ(all[0].magnitudeRgb, kOverlayColours[0]);
    EXPECT_EQ(all[0].phaseRgb, kOverlayColours[1]);
    for (size_t i = 1; i < all.size(); ++i) {
        EXPECT_EQ(all[i].magnitudeRgb, all[i].phaseRgb);
        for (size_t j = 0; j < i; ++j)
            for (uint32_t taken : {all[j].magnitudeRgb, all[j].phaseRgb})
                EXPECT_NE(all[i].magnitudeRgb, taken) << i << " against " << j;
    }
    EXPECT_EQ(list.reference(), std::optional<size_t>(0));

    // Curve 2 at 20 Hz against the reference's 2 dB and -20 deg there; 0 and 40 Hz lie outside.
    const std::vector<ShownCurve> shown = list.shownCurves(true);
    ASSERT_EQ(shown.size(), 3u);
    ASSERT_EQ(shown[1].points.size(), 1u);
    EXPECT_DOUBLE_EQ(shown[1].points[0].frequency, 20.0);
    EXPECT_DOUBLE_EQ(shown[1].points[0].magnitudeDb, -1.0);
    EXPECT_DOUBLE_EQ(shown[1].points[0].phaseDeg, 10.0);
    for (const ChartPoint& p : shown[0].points) {
        EXPECT_EQ(p.magnitudeDb, 0.0);
        EXPECT_EQ(p.phaseDeg, 0.0);
    }

    list.setReference(2);
    list.setVisible(0, false);
    list.remove(1);
    EXPECT_EQ(list.reference(), std::optional<size_t>(1));
    const std::vector<ShownCurve> left = list.shownCurves(false);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].overlay, 1u);
    list.remove(1);
    EXPECT_FALSE(list.reference().has_value());
    EXPECT_EQ(list.shownCurves(true).size(), 0u);
}

}  // namespace
}  // namespace zrd::tuning
