#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <vector>

#include "params/message_table.h"
#include "params/page_layout.h"
#include "params/parameter_table.h"

class QTabWidget;

namespace zrd::params {

class TParamFrame;

// The parameter pages of groups 1..5: a tab of the group notebook per group, a page control on
// it and one TParamFrame per page, built anew from the parameter table after each load.
class TParamPages : public QObject {
    Q_OBJECT
public:
    // Adds the five group tabs at the end of the notebook.
    TParamPages(ParameterModel& model, const MessageTable& messages, QTabWidget* notebook);

    // Lays the parameters out on pages; each row's parameter starts at its default.
    void build();
    [[nodiscard]] const std::vector<TParamFrame*>& frames() const { return m_frames; }
    // The page that holds a table position's row, or nullptr.
    [[nodiscard]] TParamFrame* frameOfPosition(int position) const;
    // Shows a value text in the row of a table position (no row: nothing happens).
    void showInRow(int position, const QString& text);
    // After read-all the value fields of the writable rows turn white; read-only rows keep
    // the look of a field that cannot be edited.
    void showReadRows();
    // Marks the limits and the default that the configuration formulas changed: mark bit 1 the
    // minimum, bit 2 the maximum, bit 4 the default. From 4 on the new texts are shown too.
    void markChanged(int position, int mark);

    QTabWidget* PageControl1;
    QTabWidget* PageControl2;
    QTabWidget* PageControl3;
    QTabWidget* PageControl4;
    QTabWidget* PageControl5;

signals:
    // The mouse went down on the value field of a row.
    void ParamMouseDown(TParamFrame* frame, int row);

private:
    ParameterModel& m_model;
    const MessageTable& m_messages;
    QTabWidget* m_notebook;
    int m_firstTab;
    std::array<QTabWidget*, kPageGroups> m_controls{};
    std::vector<TParamFrame*> m_frames;
};

}  // namespace zrd::params
