#pragma once

#include "addressbook/Fields.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <utility>

namespace kalvendo::test {

// A record with the given fields set (UTF-8 texts).
inline Record record(std::initializer_list<std::pair<int, const char*>> fields) {
    Record r;
    for (const auto& [pos, text] : fields)
        r[pos] = QString::fromUtf8(text);
    return r;
}

// A record with every field a card carries filled, different for each n, with
// the characters that need escaping or several UTF-8 octets.
inline Record fullRecord(int n) {
    const QString i = QString::number(n);
    Record r;
    r[fName] = QStringLiteral("Müller-Lüdenscheidt; Söhne, \\%1").arg(i);
    r[fVorname] = QStringLiteral("Jürgen ✓ %1").arg(i);
    r[fStrasse] = QStringLiteral("Straße des 17. Juni");
    r[fNr] = QStringLiteral("%1a").arg(n % 300 + 1);
    r[fPLZ] = QStringLiteral("%1").arg(10000 + n, 5, 10, QLatin1Char('0'));
    r[fWohnort] = QStringLiteral("Frankfurt (Oder)");
    r[fLand] = QStringLiteral("Österreich");
    r[fTelefon] = QStringLiteral("+49 (0)6052 %1").arg(i);
    r[fMobil] = QStringLiteral("0170/%1-11").arg(i);
    r[fFax] = QStringLiteral("06052 %1-9").arg(i);
    r[fEmail] = QStringLiteral("juergen.%1@example.de").arg(i);
    r[fHomepage] = QStringLiteral("https://www.example.de/a,b;c?%1").arg(i);
    r[fGeburtstag] =
        QStringLiteral("%1.02.19%2").arg(n % 28 + 1, 2, 10, QLatin1Char('0')).arg(n % 90 + 10);
    return r;
}

// The content lines of a card, folds undone.
inline QStringList unfoldCard(const QByteArray& bytes) {
    QStringList lines;
    for (const QByteArray& physical : bytes.split('\n')) {
        QByteArray l = physical;
        if (l.endsWith('\r'))
            l.chop(1);
        if (l.startsWith(' ') && !lines.isEmpty())
            lines.last() += QString::fromUtf8(l.mid(1));
        else if (!l.isEmpty())
            lines << QString::fromUtf8(l);
    }
    return lines;
}

} // namespace kalvendo::test
