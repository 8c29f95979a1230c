#pragma once

#include "addressbook/ui/MainWindowContext.h"

#include <QObject>
#include <QString>

namespace kalvendo {

class TCapiMonitor;

// Caller identification in the main window: the prepared numbers written when
// the telephone or mobile field is left, the bulk "Nummern aufbereiten", and
// the ISDN monitor whose incoming calls are looked up and announced.
class CallerIdController : public QObject {
    Q_OBJECT
public:
    explicit CallerIdController(const MainWindowContext& context, QObject* parent = nullptr);
    // Releases the monitor's registration while the window is still whole.
    ~CallerIdController() override;

    // Start-up: listens for calls on the first controller; the result is not examined.
    void activateMonitor();

    void DBEdit8Exit();
    void DBEdit9Exit();
    void CapiMonitor1IncomingCall(const QString& CallingPartyNumber,
                                  const QString& CalledPartyNumber, quint16 CipValue,
                                  const QString& CipValueString);
    void Nummernaufbereiten1Click();
    void isdnnumbers();

private:
    void writePreparedNumber(int source, int prepared);

    MainWindowContext m_ctx;
    TCapiMonitor* CapiMonitor1 = nullptr;
};

} // namespace kalvendo
