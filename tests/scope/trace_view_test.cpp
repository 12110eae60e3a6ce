#include "scope/trace_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace zrd::scope {
namespace {

// A full-HD screen: the window is 1918 × 1030, the strip 1748 × 948 with its centre line at
// y 474, the half amplitude 465 pixels, the paint box 1746 pixels wide.
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kCentre = 474;

enum class Fill {
    Zero,    // channel 1 all zero
    Ramp,    // channel 1 = record − 5000: peak 5000
    Status,  // channel 1 = 8, 7, 8, 7 … (a status word with bit 3 set in every other record)
};

struct MapCase {
    const char* name;
    ViewerKind kind;
    Fill fill;
    int scalePosition;
    int scroll;  // asked for; the view bounds it
    int bit;     // selected on channel 1
    bool clear;  // "Clear" after the bit
    double tick;
    // Expected
    double sx;
    int scrollMax;
    int scrolled;
    size_t points;
    std::vector<PixelPoint> first;
    PixelPoint last;
    const char* value;  // channel 1 under the cursor at column 0
    const char* time;
};

std::unique_ptr<Oscillogram> filled(Fill fill) {
    auto o = std::make_unique<Oscillogram>();
    for (int r = 0; r < kRecordCount; ++r) {
        const double v = fill == Fill::Zero ? 0.0 : fill == Fill::Ramp ? r - 5000.0 : 8.0 - r % 2;
        o->buffer.setValue(r, 0, v);
        o->buffer.setValue(r, 1, 100.0);
    }
    return o;
}

class PixelMapping : public ::testing::TestWithParam<MapCase> {};

TEST_P(PixelMapping, PlacesSamplesCursorAndBits) {
    const MapCase& c = GetParam();
    auto o = filled(c.fill);
    o->header.tick = c.tick;
    const Record measuredAtScroll = o->buffer.record(c.scrolled);
    TraceView view(c.kind, viewerLayout(kScreenWidth, kScreenHeight));
    view.setBitGroup(1, c.bit != kNoBit);
    view.open(*o);
    view.activate(*o, c.scalePosition);
    view.setScroll(c.scroll);
    if (c.bit != kNoBit)
        view.selectBit(*o, 1, c.bit);
    if (c.clear)
        view.clearBit(*o, 1);

    EXPECT_DOUBLE_EQ(view.scale(), c.sx);
    EXPECT_EQ(view.scrollMaximum(), c.scrollMax);
    EXPECT_EQ(view.scroll(), c.scrolled);
    const std::vector<PixelPoint>& points = view.trace(*o, 1);
    ASSERT_EQ(points.size(), c.points);
    for (size_t i = 0; i < c.first.size(); ++i)
        EXPECT_EQ(points[i], c.first[i]) << "point " << i;
    EXPECT_EQ(points.back(), c.last);

    const CursorReadout readout = view.moveCursor(0, *o);
    EXPECT_EQ(readout.column, 0);
    EXPECT_EQ(readout.sample, c.scrolled);
    EXPECT_EQ(readout.values[0], c.value);
    EXPECT_EQ(readout.time, c.time);

    // Closing puts the measured values back whatever the bit view did.
    view.restore(*o);
    EXPECT_EQ(o->buffer.record(c.scrolled), measuredAtScroll);
    EXPECT_EQ(view.selectedBit(1), kNoBit);
}

constexpr double kOnlineFit = 1736.0 / 10050.0;
constexpr double kOfflineFit = 1736.0 / 2100.0;
constexpr ViewerKind kOn = ViewerKind::Online;
constexpr ViewerKind kOff = ViewerKind::Offline;

INSTANTIATE_TEST_SUITE_P(
    Viewers, PixelMapping,
    ::testing::Values(MapCase{"AllZeroChannelIsFlatOnTheCentreLine",
                              kOn,
                              Fill::Zero,
                              0,
                              0,
                              kNoBit,
                              false,
                              0.001,
                              kOnlineFit,
                              0,
                              0,
                              10000,
                              {{0, kCentre}, {0, kCentre}, {0, kCentre}},
                              {1727, kCentre},
                              "0.000",
                              "0.000 / 0"},
                      MapCase{"FitScaleShowsTheWholeRecord",
                              kOn,
                              Fill::Ramp,
                              0,
                              50,
                              kNoBit,
                              false,
                              0.001,
                              kOnlineFit,
                              0,
                              0,
                              10000,
                              {{0, kCentre + 465}, {0, kCentre + 464}},
                              {1727, 10},
                              "-5000.000",
                              "0.000 / 0"},
                      MapCase{"ScaleTenScrollsToTheLastRecord",
                              kOn,
                              Fill::Ramp,
                              10,
                              99999,
                              kNoBit,
                              false,
                              0.001,
                              10.0,
                              9876,
                              9876,
                              124,
                              {{0, 21}, {10, 21}},
                              {1230, 10},
                              "4876.000",
                              "9.876 / 9876"},
                      MapCase{"CursorAtColumnZeroShowsTheScrolledSample",
                              kOn,
                              Fill::Ramp,
                              10,
                              5000,
                              kNoBit,
                              false,
                              0.008,
                              10.0,
                              9876,
                              5000,
                              174,
                              {{0, kCentre}, {10, kCentre}},
                              {1730, 458},
                              "0.000",
                              "40.000 / 5000"},
                      MapCase{"BitThreeOfEightAndSevenRisesToHalfAmplitude",
                              kOn,
                              Fill::Status,
                              10,
                              0,
                              3,
                              false,
                              0.001,
                              10.0,
                              9876,
                              0,
                              174,
                              {{0, kCentre - 232}, {10, kCentre}, {20, kCentre - 232}},
                              {1730, kCentre},
                              "1.000",
                              "0.000 / 0"},
                      MapCase{"ClearBringsTheMeasuredValuesBack",
                              kOn,
                              Fill::Status,
                              10,
                              0,
                              3,
                              true,
                              0.001,
                              10.0,
                              9876,
                              0,
                              174,
                              {{0, kCentre - 465}, {10, kCentre - 406}},
                              {1730, kCentre - 406},
                              "8.000",
                              "0.000 / 0"},
                      MapCase{"OfflineFitShowsIts2048Samples",
                              kOff,
                              Fill::Ramp,
                              0,
                              10,
                              kNoBit,
                              false,
                              0.0005,
                              kOfflineFit,
                              0,
                              0,
                              2048,
                              {{0, kCentre + 465}, {0, kCentre + 464}},
                              {1692, kCentre + 274},
                              "-5000.000",
                              "0.00000 / 0"}),
    [](const auto& info) { return std::string(info.param.name); });

struct AxisCase {
    const char* name;
    ViewerKind kind;
    double peak;  // channel 1 runs from −peak to +peak
    int scalePosition;
    int scroll;
    double tick;
    // Expected: the value axis of channel 1 and the time axis, first and last tick and count
    AxisTick firstValue;
    AxisTick lastValue;
    size_t values;
    AxisTick firstTime;
    AxisTick lastTime;
    size_t times;
};

class AxisTicks : public ::testing::TestWithParam<AxisCase> {};

TEST_P(AxisTicks, FollowTheGainZoomAndScroll) {
    const AxisCase& c = GetParam();
    Oscillogram o;
    for (int r = 0; r < kRecordCount; ++r)
        o.buffer.setValue(r, 0, r % 2 == 0 ? c.peak : -c.peak);
    TraceView view(c.kind, viewerLayout(kScreenWidth, kScreenHeight));
    view.open(o);
    view.activate(o, c.scalePosition);
    view.setScroll(c.scroll);

    const std::vector<AxisTick> values = view.valueAxis(1);
    ASSERT_EQ(values.size(), c.values);
    EXPECT_EQ(values.front(), c.firstValue);
    EXPECT_EQ(values.back(), c.lastValue);
    const std::vector<AxisTick> times = view.timeAxis(c.tick);
    ASSERT_EQ(times.size(), c.times);
    EXPECT_EQ(times.front(), c.firstTime);
    EXPECT_EQ(times.back(), c.lastTime);
}

// The strip is 948 pixels high (ticks 40 apart at least: 23 intervals) and 1748 wide (90 apart:
// 19 intervals); the half amplitude of 465 pixels stands for the peak.
INSTANTIATE_TEST_SUITE_P(
    Viewers, AxisTicks,
    ::testing::Values(
        // ±5097 in view: steps of 500; 10.1 s in view: steps of 1 s, labelled in seconds.
        AxisCase{"WholeOnlineRecordInSeconds",
                 ViewerKind::Online,
                 5000,
                 0,
                 0,
                 0.001,
                 {9, "5000"},
                 {939, "-5000"},
                 21,
                 {0, "0 s"},
                 {1727, "10 s"},
                 11},
        // ±0.204 in view: steps of 0.02 with two decimals; 43.7 ms from 250 ms: steps of 5 ms.
        AxisCase{"ZoomedOfflineRecordInMilliseconds",
                 ViewerKind::Offline,
                 0.2,
                 10,
                 1000,
                 0.00025,
                 {9, "0.20"},
                 {939, "-0.20"},
                 21,
                 {0, "250 ms"},
                 {1600, "290 ms"},
                 9}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TriggerMarker, PointsAtTheTriggerSample) {
    // Sample 1024 at the offline fit scale lies at 846.5 pixels.
    const auto marker = triggerMarker(1024, 0, kOfflineFit, 948);
    EXPECT_EQ(marker[0], (PixelLine{{836, 0}, {846, 10}}));
    EXPECT_EQ(marker[1], (PixelLine{{856, 0}, {846, 10}}));
    EXPECT_EQ(marker[2], (PixelLine{{846, 0}, {846, 948}}));
}

TEST(CompressColumns, KeepsFirstExtremesAndLastOfEachColumn) {
    // Column 0 goes to its top first, column 4 to its bottom: the nearer extreme of the first
    // point. Columns of up to four points stay as they are.
    std::vector<PixelPoint> points = {{0, 5}, {0, 9}, {0, 2}, {0, 1}, {0, 6}, {0, 7},
                                      {1, 3}, {2, 4}, {2, 4}, {2, 8}, {4, 8}, {4, 0},
                                      {4, 9}, {4, 5}, {4, 2}, {5, 0}};
    compressColumns(points);
    const std::vector<PixelPoint> kept = {{0, 5}, {0, 1}, {0, 9}, {0, 7}, {1, 3}, {2, 4}, {2, 4},
                                          {2, 8}, {4, 8}, {4, 9}, {4, 0}, {4, 2}, {5, 0}};
    EXPECT_EQ(points, kept);
}

struct AnalysisCase {
    const char* name;
    const char* typed;
    std::optional<int> start;
    int lastInside;  // last front record with data; the rest of the 2048 are 0
};

class AnalysisStart : public ::testing::TestWithParam<AnalysisCase> {};

TEST_P(AnalysisStart, MovesTheSamplesToTheFront) {
    const AnalysisCase& c = GetParam();
    ASSERT_EQ(parseAnalysisStart(c.typed), c.start);
    if (!c.start)
        return;
    auto o = std::make_unique<Oscillogram>();
    for (int r = 0; r < kRecordCount; ++r) {
        o->buffer.setValue(r, 0, r);
        o->buffer.setValue(r, 1, -r);
        o->buffer.setValue(r, 2, 7.0);
    }
    prepareAnalysis(*o, *c.start);
    for (int k : {0, c.lastInside}) {
        EXPECT_EQ(o->buffer.channel(k, 1), *c.start + k);
        EXPECT_EQ(o->buffer.channel(k, 2), -(*c.start + k));
    }
    if (c.lastInside < 2047) {
        EXPECT_EQ(o->buffer.channel(c.lastInside + 1, 1), 0.0);
    }
    EXPECT_EQ(o->buffer.channel(2047, 2), c.lastInside < 2047 ? 0.0 : -(*c.start + 2047));
    // Past the moved block and outside channels 1 and 2 nothing changes.
    EXPECT_EQ(o->buffer.channel(2048, 1), 2048);
    EXPECT_EQ(o->buffer.channel(0, 3), 7.0);
    // The measured values wait in the backup.
    EXPECT_EQ(o->backup.channel(9999, 1), 9999);
    EXPECT_EQ(o->backup.channel(0, 2), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Starts, AnalysisStart,
                         ::testing::Values(AnalysisCase{"Default", "500", 500, 2047},
                                           AnalysisCase{"NearTheEndFillsWithZeros", " 9000 ", 9000,
                                                        999},
                                           AnalysisCase{"LastRecord", "9999", 9999, 0},
                                           AnalysisCase{"PastTheBuffer", "10000", std::nullopt, 0},
                                           AnalysisCase{"Negative", "-1", std::nullopt, 0},
                                           AnalysisCase{"NoNumber", "5OO", std::nullopt, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zrd::scope
