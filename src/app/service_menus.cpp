#include "app/service_menus.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <stdexcept>

#include "app/access_levels.h"
#include "app/main_menu.h"
#include "params/parameter_table.h"
#include "params/ui/param_pages.h"
#include "session/ui/control_area.h"
#include "session/ui/drive_session.h"
#include "session/ui/poll_timers.h"

namespace zrd::app {

TServiceMenus::TServiceMenus(const Parts& parts, QObject* parent)
    : QObject(parent), m_parts(parts) {
    connect(parts.menu.Closespecialfunction1, &QAction::triggered, this, &TServiceMenus::close);
    connect(parts.menu.CloseAdminfunctions1, &QAction::triggered, this, &TServiceMenus::close);
}

void TServiceMenus::open(bool admin) {
    m_parts.menu.Specialfunctions1->menuAction()->setVisible(true);
    if (admin)
        m_parts.menu.Adminsfunctions1->menuAction()->setVisible(true);
    m_parts.controls.SerNum->setReadOnly(false);
}

void TServiceMenus::close() {
    m_parts.menu.Specialfunctions1->menuAction()->setVisible(false);
    m_parts.menu.Adminsfunctions1->menuAction()->setVisible(false);
    m_parts.controls.SerNum->setReadOnly(true);
    storeSerialNumber();
}

void TServiceMenus::storeSerialNumber() {
    const QString text = m_parts.controls.SerNum->text().trimmed();
    // Without a number (nothing read from a drive yet) there is nothing to store.
    if (text.isEmpty())
        return;
    bool ok = false;
    const long long number = text.toLongLong(&ok);
    if (!ok)
        throw std::invalid_argument("'" + text.toStdString() + "' is not a valid serial number.");
    const SerialNumberWords words = splitSerialNumber(number);
    params::ParameterModel& model = m_parts.model;
    model.setKnownValue(0, static_cast<double>(words.high));
    model.setKnownValue(1, static_cast<double>(words.low));
    for (int row : {0, 1})
        m_parts.pages.showInRow(row, QString::fromStdString(params::valueText(model.value(row))));
    if (m_parts.timers.connected())
        m_parts.session.writeSerialNumber();
}

}  // namespace zrd::app
