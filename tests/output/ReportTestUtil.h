#pragma once

// Helpers of the report tests: records in memory, named strings of a language,
// and the poppler tools that read our PDF files back independently.

#include "addressbook/Fields.h"
#include "common/CommandGuard.h"
#include "lang/Script.h"
#include "lang/Scripts.h"
#include "output/report/ReportRows.h"
#include "output/report/ReportSystem.h"
#include "testsupport/Records.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <vector>

namespace kalvendo::test {

inline QStringList strs(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list)
        out << QString::fromUtf8(s);
    return out;
}

inline QString shippedProject() {
    return QStringLiteral(KALVENDO_DEFAULTS "/daten/velmora.rav");
}

// Rows held in memory, for values the table's field widths would not take.
class VectorRows : public ReportRows {
public:
    std::vector<Record> rows;
    int rowCount() const override { return int(rows.size()); }
    QString value(int row, int field) const override {
        return rows.at(size_t(row)).at(size_t(field));
    }
};

inline NamedStrings namedStrings(const QString& language) {
    const QStringList lines = selectLanguageLines(scriptForm1(), language);
    return [lines](const QString& key) { return lookUpString(lines, key); };
}

inline bool haveTool(const char* name) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(name)).isEmpty();
}

#define REQUIRE_TOOL(name)                                                                         \
    do {                                                                                           \
        if (!kalvendo::test::haveTool(name))                                                       \
            QSKIP(name " (poppler-utils) is not installed; the PDF cannot be read back");          \
    } while (false)

// Runs a tool and returns what it printed; empty (and a failed check) when it fails.
inline QString runTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
        return QString();
    }
    return QString::fromUtf8(p.readAllStandardOutput());
}

inline QString pdfText(const QString& pdf) {
    return runTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
}

// One field of pdfinfo's output ("Title", "Author", ...).
inline QString pdfInfoField(const QString& pdf, const QString& field) {
    const QString out =
        runTool(QStringLiteral("pdfinfo"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf});
    const QRegularExpression re(QStringLiteral("^") + QRegularExpression::escape(field) +
                                    QStringLiteral(":[ \\t]*(.*)$"),
                                QRegularExpression::MultilineOption);
    const QRegularExpressionMatch m = re.match(out);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

inline int pdfPages(const QString& pdf) {
    return pdfInfoField(pdf, QStringLiteral("Pages")).toInt();
}

// Word boxes of one page, as pdftotext -bbox reports them (points from the top left).
struct WordBox {
    double xMin, yMin, xMax, yMax;
    QString word;
};
inline std::vector<std::vector<WordBox>> pdfWordBoxes(const QString& pdf) {
    const QString html =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-enc"),
                                              QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    std::vector<std::vector<WordBox>> pages;
    const QRegularExpression page(QStringLiteral("<page "));
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">(.*)</word>"));
    for (const QString& line : html.split(u'\n')) {
        if (page.match(line).hasMatch())
            pages.emplace_back();
        const QRegularExpressionMatch m = word.match(line);
        if (m.hasMatch() && !pages.empty())
            pages.back().push_back({m.captured(1).toDouble(), m.captured(2).toDouble(),
                                    m.captured(3).toDouble(), m.captured(4).toDouble(),
                                    m.captured(5)});
    }
    return pages;
}

} // namespace kalvendo::test
