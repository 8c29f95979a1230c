#pragma once

#include "addressbook/ui/MainWindowContext.h"

#include <QObject>
#include <QString>

#include <exception>
#include <functional>

namespace kalvendo {

struct Notice;

// Backup, restore and packing of the data folder from the main window. The
// work itself is in the maintenance library; this asks the questions, shows
// the progress and the outcome, and closes and reopens the table around a
// restore.
class MaintenanceController : public QObject {
    Q_OBJECT
public:
    // `logError` appends an error to the error log without showing it (the
    // restore shows its own message and logs the reason).
    using ErrorLogger = std::function<void(const std::exception&)>;
    MaintenanceController(const MainWindowContext& context, ErrorLogger logError,
                          QObject* parent = nullptr);

    void Sichern1Click();
    void Wiederherstellen1Click();
    void Datenpacken1Click();

private:
    void show(const Notice& notice) const;

    MainWindowContext m_ctx;
    ErrorLogger m_logError;
    QString m_lastCabFile; // the save dialog's name for this session
};

} // namespace kalvendo
