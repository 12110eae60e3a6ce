#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QVector>
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "core/user_interface.h"
#include "monitor/action_log.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"
#include "scope/trace_view.h"

class QCheckBox;
class QComboBox;
class QPainter;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QSlider;
class QToolButton;

namespace zrd::ui {
class SettingsFile;
}

namespace zrd::scope {

class TInformation;

inline constexpr const char* kOnlineViewerCaption = "Oscillogram";
inline constexpr const char* kOfflineViewerCaption = "OscillOff";

// What the viewers work with; all of it lives for the whole run.
struct ViewerParts {
    Oscillogram& oscillogram;
    monitor::ActionLog& actionLog;
    const params::MessageTable& messages;
    const params::ParameterModel& model;  // the interface language
    UserInterface& ui;
    // Where the channels' colours are remembered between runs; none: every opening starts
    // with the default colours.
    ui::SettingsFile* settings = nullptr;
};

// The frequency response, opened by "AFR and PFR" with the number of channels it may offer
// (2 online, 4 offline). The online buffer is prepared when it is called: 2048 samples from
// the chosen start at the front, channels 1 and 2 measured in the backup. The viewer redraws
// when the hook returns; a window that restores the buffer later calls DrawOscill and DrawGraph.
using FrequencyResponseHook = std::function<void(int channels)>;
// Opens a saved picture in the desktop's image viewer; false when nothing could open it.
using PictureOpener = std::function<bool(const QString& path)>;

// The base name of a viewer's picture.
inline constexpr const char* kPictureName = "oscillogram";
// Where a printed picture goes and who is told.
struct PrintPlace {
    const params::MessageTable& messages;
    const params::ParameterModel& model;  // the interface language
    UserInterface& ui;
    const PictureOpener& open;
    // The oscillogram's file: the picture goes beside it (none: the pictures folder).
    const std::string& oscillogramFile;
    QString name;  // the picture's base name
};
// "Print" of any window: the picture goes to the clipboard and into a PNG (name, date and
// time), which the desktop's viewer opens; a message names the file. The path; empty when the
// file could not be written.
QString printPicture(const QPixmap& picture, const PrintPlace& place);

// The plot: shows the composite picture and reports the mouse column.
class TPaintBox : public QWidget {
    Q_OBJECT
public:
    TPaintBox(const QImage& image, QWidget* parent);

signals:
    void mouseMoved(int x);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    const QImage& m_image;
};

// A trace viewer: the channel column, the plot with value and time axes, zoom, scroll and
// cursor, the bit view of status words, the picture for printing and the hand-off to the
// frequency response. Shown modally over the whole screen, or as a normal window beside the
// program when the user chose so; showing returns at once, and `finished` tells the end.
class TTraceViewer : public QDialog {
    Q_OBJECT
public:
    TTraceViewer(ViewerKind kind, const ViewerParts& parts, QWidget* parent);
    ~TTraceViewer() override;

    // Lays the window out for a screen of this size (the primary screen's when made).
    void layOut(QSize screen);

    // The bit group of a channel: shown with the bits' names as hints for a status word,
    // hidden (nullopt) for any other signal.
    void setBitGroup(int channel,
                     const std::optional<std::array<std::string, kBitsPerWord>>& hints);
    void setFrequencyResponse(FrequencyResponseHook hook) { m_frequencyResponse = std::move(hook); }
    // The file the oscillogram was read from or saved to: "Print" puts the picture beside it.
    void setOscillogramFile(const std::string& path) { m_oscillogramFile = path; }
    void setPictureOpener(PictureOpener opener) { m_openPicture = std::move(opener); }
    [[nodiscard]] const std::string& oscillogramFile() const { return m_oscillogramFile; }
    [[nodiscard]] const PictureOpener& pictureOpener() const { return m_openPicture; }

    [[nodiscard]] TraceView& view() { return m_view; }
    [[nodiscard]] const QImage& strip() const { return m_strip; }
    [[nodiscard]] const QImage& composite() const { return m_composite; }
    [[nodiscard]] QColor channelColour(int channel) const;

    // Draws grid and traces on the strip.
    void DrawOscill();
    // Puts strip and cursor together and shows them.
    void DrawGraph();

    TPaintBox* PaintBox14;
    QScrollBar* ScrollBar1;
    QSlider* ScaleCh;
    QLineEdit* Edit9;  // pixels per sample
    QLineEdit* Edit6;  // cursor time " / " sample
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* Button1;        // Information
    QPushButton* Button2;        // Exit
    QPushButton* Button3;        // AFR and PFR
    QPushButton* Button4;        // &Print
    QCheckBox* GridBox;          // CheckBox3 online, CheckBox5 offline
    QToolButton* OptionsButton;  // shows the options below
    QCheckBox* AxesBox;
    QCheckBox* SharedScaleBox;  // one scale for signals of the same unit
    QCheckBox* BesideBox;       // keep the viewer open beside the program
    // Per channel 1..4 (index c − 1; the online viewer makes two).
    std::array<QLabel*, kChannelCount> Osc_A_ch{};
    std::array<QComboBox*, kChannelCount> ColorBox{};
    std::array<QFrame*, kChannelCount> Swatch{};
    std::array<QCheckBox*, kChannelCount> VisibleBox{};
    std::array<QLineEdit*, kChannelCount> ValueField{};  // Edit1..Edit4
    std::array<QLabel*, kChannelCount> UnitLabel{};      // Label3..Label6
    std::array<QGroupBox*, kChannelCount> GroupBox{};
    std::array<std::array<QRadioButton*, kBitsPerWord>, kChannelCount> BitButton{};  // Vc_bK
    std::array<QPushButton*, kChannelCount> ClearButton{};  // BitBtn3..BitBtn6
    TInformation* Information;

signals:
    // "Exit" was pressed (the offline viewer's page follows it).
    void exited();

public slots:
    void FormActivate();
    void ScrollBar1Change(int position);
    void ScaleChChange(int position);
    void PaintBox14MouseMove(int x);
    void BitClick(int channel, int bit);
    void ClearClick(int channel);
    void ColorBoxChange(int channel);
    void VisibleClick(int channel);
    void GridClick();
    void SharedScaleClick();
    void BesideClick();
    void BitBtn1Click();
    void BitBtn2Click();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    // Closing by any way (Exit, the window's close, Escape) restores the measured values.
    void done(int result) override;

protected:
    // Opening is done by the configuration: activation, then the modal window.
    void showViewer();
    void FormClose();
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    ViewerParts m_parts;

private:
    void buildChannel(int channel);
    void buildBottomRow();
    void buildOptions();
    // The options as the settings remember them.
    void readOptions();
    // Modal over the program, or a normal window beside it, as BesideBox says.
    void applyPlacement();
    void drawAxes(QPainter& painter);
    void deselectBits(int channel);
    void resetColours();
    // The viewer's name in the settings: "online" or "offline".
    [[nodiscard]] QString settingsName() const;
    void redraw();
    [[nodiscard]] QString message(int n) const;
    void FormKeyPress(const QString& text, bool& handled);

    TraceView m_view;
    std::array<QWidget*, kChannelCount> m_channelPanels{};
    QWidget* m_plotPanel;
    QWidget* m_infoPanel;
    QWidget* m_scrollPanel;
    QWidget* m_zoomPanel;
    QWidget* m_optionsPanel;
    QImage m_strip;
    QImage m_composite;
    QVector<QPoint> m_polyline;
    std::array<QColor, kChannelCount> m_colours{};
    FrequencyResponseHook m_frequencyResponse;
    PictureOpener m_openPicture;
    std::string m_oscillogramFile;
    bool m_closing = false;
};

// The online viewer: two channels over the 10000 samples of an online capture.
class TOscill : public TTraceViewer {
    Q_OBJECT
public:
    TOscill(const ViewerParts& parts, QWidget* parent);
    // "View oscillogram": logs the viewing with the main window's date and time, keeps the
    // measured channels in the backup and shows the viewer modally; returns at once.
    void showFor(const std::string& date, const std::string& time);
};

// The offline viewer: four channels over the 2048 samples of an offline record, with the
// trigger sample marked when the trigger type was 1 or 2.
class TOscillOff : public TTraceViewer {
    Q_OBJECT
public:
    TOscillOff(const ViewerParts& parts, QWidget* parent);
    // Keeps the measured channels in the backup and shows the viewer modally; returns at once.
    void showFor(std::optional<int> triggerSample);
};

}  // namespace zrd::scope
