#include "ui_test_support.h"

#include <QFile>
#include <QImage>

#include "link/frame_codec.h"
#include "params/database_loader.h"
#include "params/message_table.h"

namespace zrd::test {

DatabaseText::DatabaseText(const std::string& language)
    : m_lines{"; database of a test drive", "Language=" + language} {}

DatabaseText& DatabaseText::group(const std::string& name) {
    m_lines.push_back("[Group]");
    m_lines.push_back("Name_group=" + name + ",");
    return *this;
}

DatabaseText& DatabaseText::subgroup(const std::string& name) {
    m_lines.push_back("[Subgroup]");
    m_lines.push_back("Name_subgroup=" + name + ",");
    return *this;
}

DatabaseText& DatabaseText::parameter(const TestParameter& p) {
    ++m_key;
    const std::string fields[] = {
        p.name,
        std::to_string(p.index),
        p.vType,
        p.pType,
        std::to_string(p.minVal),
        std::to_string(p.maxVal),
        p.scale,
        p.unit + "_rus",
        p.unit,
        p.defValue,
        p.description.empty() ? "Description of " + p.name : p.description,
        "Описание " + p.name,
        std::to_string(p.modeMes),
        std::to_string(p.updateCon),
        std::to_string(p.group)};
    std::string line = "P" + std::to_string(m_key) + "=";
    for (size_t i = 0; i < std::size(fields); ++i)
        line += (i == 0 ? "" : ",") + fields[i];
    m_lines.push_back(line);
    return *this;
}

DatabaseText& DatabaseText::parameters(const std::string& prefix, int n, int firstIndex,
                                       int group) {
    for (int i = 0; i < n; ++i) {
        TestParameter p;
        p.name = prefix + std::to_string(i);
        p.index = firstIndex + i;
        p.group = group;
        parameter(p);
    }
    return *this;
}

DatabaseText& DatabaseText::statusWords(int group) {
    for (const auto& [name, index] :
         std::initializer_list<std::pair<const char*, int>>{{"STA", 240},
                                                            {"ERR", 241},
                                                            {"WRN", 242},
                                                            {"APPSGN", 243},
                                                            {"DINSTA", 244},
                                                            {"APXERR", 246}})
        parameter({.name = name, .index = index, .pType = "R", .maxVal = 65535, .group = group});
    return *this;
}

std::string DatabaseText::text() const {
    std::string out;
    for (const std::string& line : m_lines)
        out += line + "\r\n";
    return out + ".\r\n";
}

std::string messageFileText() {
    std::string text;
    for (int n = 0; n < params::kMessageCount; ++n) {
        std::string eng = "M" + std::to_string(n);
        if (n == 3)
            eng = "No database";
        if (n == 18)
            eng = "  Speed";
        // The limits follow this one.
        if (n == 85)
            eng = "Outside ";

        text += "m" + std::to_string(n) + ":" + eng + "=R" + std::to_string(n) + "\r\n";
    }
    return text;
}

std::string programDatabase() {
    QFile file(QString(ZRD_DATA_DIR) + "/" + params::kDatabaseFileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

uint8_t driveIndexOf(const params::ParameterModel& model, std::string_view mnemonic) {
    return model.parameter(model.find(mnemonic).value()).Index;
}

ProgramFixture::ProgramFixture() {
    writeData(params::kMessageFileName, messageFileText());
}

ProgramFixture::~ProgramFixture() {
    if (m_form)
        m_form->hide();
}

void ProgramFixture::writePicture(const std::string& name) {
    QImage picture(120, 80, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    picture.save(QString::fromStdString(dir.file(name)), "BMP");
}

app::Program& ProgramFixture::program() {
    if (!m_program) {
        app::StartOptions options;
        options.dataDir = dir.path();
        options.logDir = dir.path();
        options.cpuMeasureMs = 1;
        options.settingsFile = settingsFile;
        options.versionText = versionText;
        m_program =
            std::make_unique<app::Program>(ui, link::makeSystemSerialPort(), std::move(options));
    }
    return *m_program;
}

app::TMainForm& ProgramFixture::form() {
    if (!m_form) {
        m_form = std::make_unique<app::TMainForm>(program());
        ui.setWindow(m_form.get());
    }
    return *m_form;
}

bool ProgramFixture::startUpShipped(std::span<const char* const> pictures) {
    const std::string database = programDatabase();
    if (database.empty())
        return false;
    writeData(params::kDatabaseFileName, database);
    for (const char* picture : pictures)
        writePicture(picture);
    return startUp();
}

bool ProgramFixture::startUp() {
    if (!form().startUp())
        return false;
    return QTest::qWaitFor([this] { return m_form->isVisible(); }, kWaitMs);
}

bool runSpeedLoop(sim::SimDrive& drive, const params::ParameterModel& model) {
    drive.setRaw(driveIndexOf(model, "OPMOD"), 2);
    drive.setRaw(driveIndexOf(model, "INST"), 1);
    return drive.answer({link::kCmdServoOn, 0, 0, 0}).has_value();
}

bool ProgramFixture::connectToSim(sim::SimServer& sim,
                                  const std::function<void(sim::SimDrive&)>& prepare, int baud) {
    if (!sim.openPty())
        return false;
    app::Program& p = program();
    sim.withDrive([&](sim::SimDrive& d) {
        d.loadParameters(p.model);
        if (prepare)
            prepare(d);
    });
    sim.start();
    if (p.link.openPort(sim.devicePath(), baud, 30) != link::OpenResult::Ok)
        return false;
    p.link.state().connected = 1;
    return true;
}

}  // namespace zrd::test
