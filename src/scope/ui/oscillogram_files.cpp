#include "scope/ui/oscillogram_files.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <stdexcept>

#include "params/message_numbers.h"
#include "scope/oscillogram_file.h"
#include "scope/oscillogram_file_reader.h"
#include "scope/scope_settings.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "scope/ui/trace_viewer.h"

namespace zrd::scope {
namespace {

void showStamp(const std::string& stamp, QLineEdit* date, QLineEdit* time) {
    const StampParts parts = splitStamp(stamp);
    date->setText(QString::fromStdString(parts.date));
    time->setText(QString::fromStdString(parts.time));
}

}  // namespace

TOscillogramFiles::TOscillogramFiles(const OscillogramFileParts& parts,
                                     const OscillogramFileWindows& windows, QObject* parent)
    : QObject(parent), m_parts(parts), m_windows(windows) {}

void TOscillogramFiles::N20Click() {
    // The dialog is shown without a loop of its own; the choice arrives by its signal.
    auto* dialog = new QFileDialog(m_windows.window, "Writing oscillogram", "Osc",
                                   "Oscillogram *.dat (*.dat);;Oscillogram *.csv (*.csv)");
    dialog->setObjectName("SaveOscil");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix("dat");
    connect(dialog, &QFileDialog::filterSelected, dialog, [dialog](const QString& filter) {
        dialog->setDefaultSuffix(filter.contains("csv") ? "csv" : "dat");
    });
    connect(dialog, &QFileDialog::fileSelected, this,
            [this](const QString& path) { save(path.toStdString()); });
    dialog->open();
}

void TOscillogramFiles::save(const std::string& path) {
    const FileResult written = writeOscillogramFile(path, m_parts.oscillogram, m_parts.model);
    if (!written)
        throw std::runtime_error(written.error);
    m_windows.onlineViewer->setOscillogramFile(path);
    m_windows.offlineViewer->setOscillogramFile(path);
    m_parts.actionLog.write(monitor::composeLogEntry(
        m_windows.date->text().toStdString(), m_windows.time->text().toStdString(),
        m_parts.messages.text(params::kMsgLogSaveOscillogram, m_parts.model.language())));
}

void TOscillogramFiles::N21Click() {
    auto* dialog =
        new QFileDialog(m_windows.window, "Reading oscillogram", {}, "Oscillogram *.dat (*.dat)");
    dialog->setObjectName("OpenOscil");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    connect(dialog, &QFileDialog::fileSelected, this,
            [this](const QString& path) { read(path.toStdString()); });
    dialog->open();
}

void TOscillogramFiles::read(const std::string& path) {
    const DatReadResult result = readDatFile(path, m_parts.oscillogram, &m_parts.model);
    if (result.changed) {
        storeChannelSignals(result, m_parts.model);
        showRead(result);
        m_windows.onlineViewer->setOscillogramFile(path);
        m_windows.offlineViewer->setOscillogramFile(path);
    }
    if (!result.ok())
        throw std::runtime_error(result.error);
    if (!result.parameters)
        return;
    const std::string& language = m_parts.model.language();
    if (!m_parts.ui.askYesNo(m_parts.messages.text(params::kMsgCaption, language),
                             m_parts.messages.text(kMsgTakeOverParameters, language)))
        return;
    takeOverParameters(*result.parameters, m_parts.model, m_parts.ui);
    if (const auto text =
            params::parameterSetStateText(static_cast<int>(m_parts.model.parameterSetState())))
        m_windows.parameterSource->setText(QString::fromStdString(std::string(*text)));
}

void TOscillogramFiles::showRead(const DatReadResult& result) {
    const ScopeKind kind = result.kind;
    Oscillogram& o = m_parts.oscillogram;
    TOnlineScopePage& online = *m_windows.online;
    TOfflineScopePage& offline = *m_windows.offline;
    online.showDriveSettings(false);
    offline.showDriveSettings(false);
    // The pages name a channel by its signal; a name the database does not know stays the
    // file's.
    for (int c = 1; c <= kChannelCount; ++c)
        o.channel(c).name = result.channels.at(static_cast<size_t>(c - 1)).name;
    for (int c = 1; c <= kChannelCount; ++c) {
        const auto hints = channelBitHints(m_parts.model, o.channel(c).name);
        if (c <= kOnlineChannelCount)
            m_windows.onlineViewer->setBitGroup(c, hints);
        m_windows.offlineViewer->setBitGroup(c, hints);
    }
    m_windows.saveOscillogram->setEnabled(true);
    const bool isOnline = kind == ScopeKind::Online;
    if (isOnline) {
        showStamp(o.header.startStamp, online.MaskEdit11, online.MaskEdit12);
        showStamp(o.header.stopStamp, online.MaskEdit13, online.MaskEdit14);
        online.showReplayRunning(online.replay().running());
        online.Replay_start->show();
        online.Replay_stop->show();
    } else {
        showStamp(o.header.startStamp, offline.MaskEdit5, offline.MaskEdit6);
        showStamp(o.header.stopStamp, offline.MaskEdit7, offline.MaskEdit8);
        offline.Button1->setEnabled(false);
    }
    online.Button21->setEnabled(isOnline);
    online.Button23->setEnabled(isOnline);
    offline.Button2->setEnabled(!isOnline);
    offline.Button4->setEnabled(!isOnline);
}

}  // namespace zrd::scope
