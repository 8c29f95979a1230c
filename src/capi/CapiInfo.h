#pragma once

#include <QObject>
#include <QString>

class QTextStream;

namespace kalvendo {

// Whether the CAPI driver can be used and which version it reports. Creating
// it is where the program first loads the driver.
class TCapiInfo : public QObject {
    Q_OBJECT
public:
    explicit TCapiInfo(QObject* owner = nullptr);

    // 0 when usable, else the binding state; after VersionText, the result of
    // the driver's version call.
    quint32 Error = 0;
    // Empty when usable, else the binding state's text.
    QString ErrorString;

    // "CAPI: 2.0  Version: 0.5". Empty, with Error untouched, while the
    // driver is unusable.
    QString VersionText();
};

// Prints the binding state text and, when the driver is usable, the version
// line (for `kalvendo --capi-info`). Returns the exit status, 0.
int printCapiDiagnostics(QTextStream& out);

} // namespace kalvendo
