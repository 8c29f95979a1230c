#include "output/vcard/ContactExport.h"

#include "common/SaveFile.h"
#include "output/vcard/VCardWriter.h"

#include <QDir>

namespace kalvendo {

QString contactExportRunningCaption() {
    return QStringLiteral("Kalvendo 2009  -   Outlook-Export ...");
}

QString contactExportDoneCaption(const Record& record) {
    return QStringLiteral("Kalvendo 2009   -   ") + record[fVorname] + u' ' + record[fName];
}

QString contactFileName(const Record& record) {
    QString name = QString(record[fVorname] + u' ' + record[fName]).simplified();
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'_';
    }
    if (name.startsWith(u'.'))
        name[0] = u'_';
    // File systems allow 255 octets in a name.
    while (name.toUtf8().size() > 200)
        name.chop(name.back().isLowSurrogate() ? 2 : 1);
    if (name.isEmpty())
        name = QStringLiteral("Kontakt");
    return name + QStringLiteral(".vcf");
}

QString writeContactCard(const Record& record, const QString& folder) {
    const QByteArray card = vcardFromRecord(record);
    const QString path = QDir(folder).filePath(contactFileName(record));
    writeFileAtomically(path, card);
    return path;
}

} // namespace kalvendo
