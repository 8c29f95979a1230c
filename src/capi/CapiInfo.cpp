#include "capi/CapiInfo.h"

#include "capi/CapiBinding.h"

#include <QTextStream>

namespace kalvendo {

TCapiInfo::TCapiInfo(QObject* owner) : QObject(owner) {
    LoadCapi();
    const int state = CapiState();
    if (state != CapiStateInstalled) {
        Error = quint32(state);
        ErrorString = CapiStateText(state);
    }
}

QString TCapiInfo::VersionText() {
    if (CapiState() != CapiStateInstalled) {
        return QString();
    }
    quint32 v[4];
    Error = CapiGetVersion(v);
    // Drivers that fill only the low 16 bits leave garbage above them.
    if (v[0] > 0xFFFF) {
        for (quint32& x : v) {
            x &= 0xFFFF;
        }
    }
    return QStringLiteral("CAPI: ") + QString::number(v[0]) + QLatin1Char('.') +
           QString::number(v[1]) + QStringLiteral("  Version: ") + QString::number(v[2]) +
           QLatin1Char('.') + QString::number(v[3]);
}

int printCapiDiagnostics(QTextStream& out) {
    TCapiInfo info;
    out << CapiStateText(CapiState()) << QLatin1Char('\n');
    if (info.Error == 0) {
        out << info.VersionText() << QLatin1Char('\n');
    }
    out.flush();
    return 0;
}

} // namespace kalvendo
