#pragma once

#include "addressbook/ui/MainWindowContext.h"

#include <QObject>

namespace kalvendo {

class ReportController;

// The export command (menu entry Export1, tool button "Daten exportieren (F6)"):
// the rows the grid presents, in the format export/format of ab.ini, to a file
// chosen in the save dialog. A PDF is the report controller's run.
class ExportController : public QObject {
    Q_OBJECT
public:
    ExportController(const MainWindowContext& ctx, ReportController* reports, QObject* parent);

    // A format outside 0 .. 3, a cancelled dialog, a refused replacement or a
    // cancelled progress write nothing; errors (EFCreateError, EWriteError,
    // EExportError, EDatabaseError, the report's) are thrown to the command guard.
    void ToolButton6Click();

private:
    MainWindowContext m_ctx;
    ReportController* m_reports;
};

} // namespace kalvendo
