#include "output/letter/LetterDocument.h"

#include "common/AppPaths.h"
#include "output/letter/BookmarkXml.h"
#include "output/package/Package.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace kalvendo {

namespace {

const QByteArray kWordDocumentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
const QByteArray kWordTemplateType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml";
const QByteArray kOdfTextType = "application/vnd.oasis.opendocument.text";

// The parts that can hold text: the body, headers, footers, notes.
bool isWordTextPart(const QString& name) {
    static const QRegularExpression parts(
        QStringLiteral("^word/(document|header\\d*|footer\\d*|footnotes|endnotes)\\.xml$"));
    return parts.match(name).hasMatch();
}

bool isOdfTextPart(const QString& name) {
    return name == QStringLiteral("content.xml") || name == QStringLiteral("styles.xml");
}

} // namespace

QString letterTemplatePath(const QString& applicationPath, LetterRoad road) {
    const AppPaths paths(applicationPath);
    return road == LetterRoad::Word ? paths.wordTemplate() : paths.writerTemplate();
}

FilledLetter fillLetterTemplate(const QString& templatePath, LetterRoad road,
                                const QList<LetterBookmark>& bookmarks) {
    if (!QFileInfo(templatePath).isFile())
        throw ELetterTemplateError(
            QStringLiteral("Die Briefvorlage %1 wurde nicht gefunden").arg(templatePath));
    const PackageReader source(templatePath);
    const bool word = road == LetterRoad::Word;

    QHash<QString, QString> values;
    for (const LetterBookmark& b : bookmarks)
        values.insert(word ? b.name.toLower() : b.name, b.value);

    PackageWriter out;
    out.copyFrom(source);
    QSet<QString> filled;
    for (const PackageEntry& e : source.entries()) {
        const QString part = templatePath + u'/' + e.name;
        if (word && isWordTextPart(e.name))
            out.add(e.name, fillWordBookmarks(source.read(e.name), values, filled, part),
                    e.compression, e.modified);
        else if (!word && isOdfTextPart(e.name))
            out.add(e.name, fillOdfBookmarks(source.read(e.name), values, filled, part),
                    e.compression, e.modified);
    }
    for (const LetterBookmark& b : bookmarks)
        if (!filled.contains(word ? b.name.toLower() : b.name))
            throw ELetterTemplateError(
                QStringLiteral("Die Briefvorlage %1 enthält keine Textmarke %2")
                    .arg(templatePath, b.name));

    FilledLetter letter;
    if (word) {
        const QString types = QStringLiteral("[Content_Types].xml");
        QByteArray contentTypes = source.read(types);
        contentTypes.replace(kWordDocumentType, kWordTemplateType);
        const PackageEntry& e =
            *std::find_if(source.entries().begin(), source.entries().end(),
                          [&](const PackageEntry& x) { return x.name == types; });
        out.add(types, contentTypes, e.compression, e.modified);
        letter.suffix = QStringLiteral("dotx");
    } else {
        const QByteArray mimetype = source.contains(QStringLiteral("mimetype"))
                                        ? source.read(QStringLiteral("mimetype")).trimmed()
                                        : QByteArray();
        letter.suffix = mimetype == kOdfTextType ? QStringLiteral("odt") : QStringLiteral("ott");
    }
    letter.package = out.toBytes();
    return letter;
}

} // namespace kalvendo
