#pragma once

#include "addressbook/ui/MainWindowContext.h"

#include <QObject>

namespace kalvendo {

// The import command (menu entry Import1, tool button "Daten importieren (F5)"):
// a CSV file mapped as the captions of its first line name fields (else by
// position), or a vCard file, appended to the table.
class ImportController : public QObject {
    Q_OBJECT
public:
    ImportController(const MainWindowContext& ctx, QObject* parent);

    // A cancelled dialog does nothing; a cancelled progress keeps what was
    // read. Afterwards status panel 1 shows the record count and the last
    // record of the order is current. Errors (EInOutError, EDatabaseError) are
    // thrown to the command guard; the records stored before them stay.
    void ToolButton5Click();

private:
    MainWindowContext m_ctx;
};

} // namespace kalvendo
