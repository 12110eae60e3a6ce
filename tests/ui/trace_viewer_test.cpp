// The online trace viewer, offscreen, on a buffer filled as a capture leaves it.

#include "trace_viewer_test.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include "core/ui/settings_file.h"
#include "params/message_numbers.h"
#include "scope/ui/trace_viewer.h"
#include "ui_test_support.h"

using namespace zrd::scope;
using zrd::test::ProgramFixture;

namespace {

constexpr QRgb kRed = 0xFFFF0000;
constexpr QRgb kOlive = 0xFF808000;

// Channel 1 a status word alternating 8 and 7, channel 2 a ramp well above the centre line.
double statusWord(int record) {
    return 8.0 - record % 2;
}

}  // namespace

void TraceViewerTest::bitViewLeavesTheMeasuredValuesAfterClosing() {
    ProgramFixture f;
    zrd::app::Program& p = f.program();
    p.messages.load(f.dir.file(zrd::params::kMessageFileName), f.ui);
    p.actionLog.open(f.dir.path());
    auto o = std::make_unique<Oscillogram>();
    o->channel(1).name = "STA";
    o->channel(2).name = "VACT";
    o->channel(2).unit = "rpm";
    for (int r = 0; r < kRecordCount; ++r) {
        o->buffer.setValue(r, 0, statusWord(r));
        o->buffer.setValue(r, 1, 1000.0 + r * 0.5);
    }

    TOscill viewer({*o, p.actionLog, p.messages, p.model, f.ui}, nullptr);
    std::array<std::string, kBitsPerWord> hints{};
    hints[3] = "bit3 Ready";
    viewer.setBitGroup(1, hints);
    viewer.setBitGroup(2, std::nullopt);
    viewer.setOscillogramFile(f.dir.file("capture.dat"));
    QStringList opened;
    viewer.setPictureOpener([&opened](const QString& path) {
        opened << path;
        return true;
    });

    viewer.showFor("01.02.24", "10:11:12");
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QCOMPARE(viewer.windowTitle(), QString("Oscillogram"));
    QVERIFY(viewer.isModal());
    const std::string logged = p.actionLog.lines().at(1);
    QVERIFY(logged.starts_with("01.02.24,10:11:12,"));
    QVERIFY(logged.ends_with(p.messages.text(zrd::params::kMsgLogViewOscillogram, p.language())));
    QCOMPARE(viewer.findChild<QLabel*>("Label4")->text(), QString("rpm"));

    // Ten pixels a sample, no grid: sample s lies at column 10 s.
    viewer.findChild<QSlider*>("ScaleCh")->setValue(10);
    QCOMPARE(viewer.findChild<QLineEdit*>("Edit9")->text(), QString("10.0"));
    QTest::mouseClick(viewer.findChild<QCheckBox*>("CheckBox3"), Qt::LeftButton);
    QVERIFY(viewer.findChild<QGroupBox*>("GroupBox1")->isVisible());
    QVERIFY(!viewer.findChild<QGroupBox*>("GroupBox2")->isVisible());
    QRadioButton* bit3 = viewer.findChild<QRadioButton*>("V1_b3");
    QCOMPARE(bit3->toolTip(), QString("bit3 Ready"));
    QTest::mouseClick(bit3, Qt::LeftButton);
    QVERIFY(bit3->isChecked());
    QCOMPARE(o->buffer.channel(0, 1), 1.0);
    QCOMPARE(o->buffer.channel(1, 1), 0.0);

    // Sample 2 (bit set) stands half the amplitude above the centre line, sample 1 on it; the
    // composite holds the strip one row down, the cursor at column 0.
    const ViewerLayout& layout = viewer.view().layout();
    const int centre = layout.centre() + 1;
    const int raised = centre - layout.amplitude / 2;
    const QImage& picture = viewer.composite();
    QCOMPARE(picture.pixel(20, raised), kRed);
    QCOMPARE(picture.pixel(10, centre), kRed);
    QCOMPARE(picture.pixel(0, raised + 5), kOlive);
    QVERIFY(picture.pixel(20, centre) != kRed);

    // The cursor on sample 2 reads the bit and the time.
    QTest::mouseMove(viewer.PaintBox14, QPoint(21, 40));
    QTRY_COMPARE_WITH_TIMEOUT(viewer.findChild<QLineEdit*>("Edit6")->text(), QString("0.002 / 2"),
                              kWaitMs);
    QCOMPARE(viewer.findChild<QLineEdit*>("Edit1")->text(), QString("1.000"));
    QCOMPARE(viewer.findChild<QLineEdit*>("Edit2")->text(), QString("1001.000"));

    // "P" prints: the picture goes to the clipboard and beside the oscillogram file.
    QTest::keyClick(viewer.findChild<QLineEdit*>("Edit1"), 'P');
    QCOMPARE(opened.size(), 1);
    const QFileInfo saved(opened.front());
    QCOMPARE(saved.absolutePath(),
             QFileInfo(QString::fromStdString(f.dir.path())).absoluteFilePath());
    QVERIFY(saved.fileName().startsWith("capture-") && saved.fileName().endsWith(".png"));
    QCOMPARE(QImage(saved.filePath()).size(), viewer.size());
    QVERIFY(!QGuiApplication::clipboard()->image().isNull());
    QVERIFY(!f.ui.boxes.empty());
    QCOMPARE(QString::fromStdString(f.ui.boxes.back().text),
             QString::fromStdString(p.messages.text(zrd::params::kMsgPictureSaved, p.language())) +
                 saved.filePath());

    // Closing with the bit selected leaves the measured values for a following save.
    viewer.close();
    QVERIFY(!viewer.isVisible());
    QVERIFY(!bit3->isChecked());
    for (int r = 0; r < kRecordCount; ++r) {
        if (o->buffer.channel(r, 1) != statusWord(r))
            QFAIL(qPrintable(QString("record %1 keeps the bit view").arg(r)));
    }
}

void TraceViewerTest::oneScaleJoinsTheRangesOfAUnit_data() {
    QTest::addColumn<bool>("shared");
    QTest::newRow("each channel its own scale") << false;
    QTest::newRow("one scale for signals of the same unit") << true;
}

void TraceViewerTest::oneScaleJoinsTheRangesOfAUnit() {
    QFETCH(bool, shared);
    ProgramFixture f;
    zrd::app::Program& p = f.program();
    // A command and an actual speed, a current, and a signal without unit: each swings between
    // its peak and its negative.
    struct Signal {
        const char* name;
        const char* unit;
        double peak;
    };
    const std::array<Signal, kChannelCount> signal = {
        {{"VCMD", "rpm", 1000.0}, {"VACT", "rpm", 3000.0}, {"IACT", "A", 5.0}, {"CNT", "", 7.0}}};
    auto o = std::make_unique<Oscillogram>();
    for (int c = 1; c <= kChannelCount; ++c) {
        const Signal& s = signal.at(size_t(c - 1));
        o->channel(c).name = s.name;
        o->channel(c).unit = s.unit;
        for (int r = 0; r < kRecordCount; ++r)
            o->buffer.setValue(r, c - 1, r % 2 == 0 ? s.peak : -s.peak);
    }
    zrd::ui::SettingsFile settings(QString::fromStdString(f.dir.file("torvanta.ini")));
    const auto peakOf = [&](int c) {
        const Signal& s = signal.at(size_t(c - 1));
        if (!shared || *s.unit == '\0')
            return s.peak;
        double peak = 0;
        for (const Signal& other : signal) {
            if (std::string_view(other.unit) == s.unit)
                peak = std::max(peak, other.peak);
        }
        return peak;
    };

    {
        TOscillOff viewer({*o, p.actionLog, p.messages, p.model, f.ui, &settings}, nullptr);
        viewer.showFor(std::nullopt);
        QVERIFY(QTest::qWaitForWindowExposed(&viewer));
        // The scale of each channel is the default, and the axes show.
        QVERIFY(!viewer.SharedScaleBox->isChecked());
        QVERIFY(viewer.AxesBox->isChecked());
        if (shared)
            viewer.SharedScaleBox->click();
        QCOMPARE(viewer.SharedScaleBox->isChecked(), shared);
        viewer.close();
    }
    QVERIFY(!settings.save().has_value());

    // A new viewer on the settings as the next run reads them.
    zrd::ui::SettingsFile next(settings.path());
    QVERIFY(next.load().empty());
    TOscillOff viewer({*o, p.actionLog, p.messages, p.model, f.ui, &next}, nullptr);
    viewer.showFor(std::nullopt);
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QCOMPARE(viewer.SharedScaleBox->isChecked(), shared);
    TraceView& view = viewer.view();
    for (int c = 1; c <= kChannelCount; ++c)
        QCOMPARE(view.peak(c), peakOf(c));
    // The speeds read alike on one axis, or each on its own; other units never join them.
    QCOMPARE(view.valueAxis(1) == view.valueAxis(2), shared);
    QVERIFY(view.valueAxis(2) != view.valueAxis(3));
    QVERIFY(view.valueAxis(3) != view.valueAxis(4));
    const std::vector<AxisTick> speeds = view.valueAxis(2);
    QVERIFY(!speeds.empty());
    QCOMPARE(speeds.front().label, std::string("3000"));
    // Each sample lies where its axis puts its value: the first sample of channel 1 on the
    // tick of its peak.
    const auto ticks = view.valueAxis(1);
    const auto top = std::find_if(ticks.begin(), ticks.end(), [&](const AxisTick& t) {
        return t.label == QString::number(signal[0].peak).toStdString();
    });
    QVERIFY(top != ticks.end());
    QCOMPARE(view.trace(*o, 1).front().y, top->pixel);
}
