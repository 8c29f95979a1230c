#include "output/export/XlsxExport.h"

#include "output/export/FileExport.h"
#include "output/export/OutStream.h"
#include "output/package/PackageStream.h"

#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <cstdio>
#include <cstring>

namespace kalvendo {

namespace {

const QString kMainNs = QStringLiteral("http://schemas.openxmlformats.org/spreadsheetml/2006/main");
const QString kRelNs =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString kPackageRelNs =
    QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");
const QString kSheetType =
    QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml");
const QString kContentTypes = QStringLiteral("[Content_Types].xml");
const QByteArray kXmlDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

// Leaves the package writer when the progress callback asks to stop.
struct Cancelled {};

// The sheet's XML, produced a block at a time. Zip headers want the size
// first, so the rows are walked once to measure and once to write; the
// progress counts both walks.
class SheetSource final : public PackageEntrySource {
public:
    SheetSource(const ExportRows& rows, const QString& ns, const ExportProgress& progress)
        : m_rows(rows), m_total(rows.rowCount()), m_progress(progress),
          m_head(kXmlDecl + "<worksheet xmlns=\"" + ns.toUtf8() + "\"><sheetData>") {}

    qint64 size() override {
        if (m_size < 0) {
            Counter counter;
            counter.bytes = m_head.size() + qsizetype(sizeof(kTail) - 1);
            for (qint64 r = 0; r < m_total; ++r) {
                emitRow(counter, r);
                tick();
            }
            m_size = counter.bytes;
        }
        return m_size;
    }
    void open() override {
        m_row = 0;
        m_buffer = m_head;
        m_pos = 0;
        m_ended = false;
    }
    qint64 read(char* data, qint64 max) override {
        while (m_pos >= m_buffer.size()) {
            if (m_ended)
                return 0;
            m_buffer.clear();
            m_pos = 0;
            while (m_buffer.size() < 64 * 1024 && m_row < m_total) {
                appendRow(m_buffer, m_row++);
                tick();
            }
            if (m_row >= m_total) {
                m_buffer.append(kTail);
                m_ended = true;
            }
        }
        const qint64 n = qMin(max, m_buffer.size() - m_pos);
        std::memcpy(data, m_buffer.constData() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return n;
    }
    void close() override { m_buffer = QByteArray(); }

private:
    static constexpr char kTail[] = "</sheetData></worksheet>";

    // Measuring and writing share one description of a row.
    struct Counter {
        qint64 bytes = 0;
        void add(QByteArrayView b) { bytes += b.size(); }
        void add(char) { ++bytes; }
        void text(QStringView t) { bytes += xmlTextLength(t); }
    };
    struct Appender {
        QByteArray& out;
        void add(QByteArrayView b) { out.append(b); }
        void add(char c) { out.append(c); }
        void text(QStringView t) { appendXmlText(out, t); }
    };

    void appendRow(QByteArray& out, qint64 r) {
        Appender appender{out};
        emitRow(appender, r);
    }

    // Empty cells are left out.
    template <typename Out> void emitRow(Out& out, qint64 r) {
        m_rows.readRow(r, m_cells);
        char number[24];
        const int digits =
            std::snprintf(number, sizeof number, "%lld", static_cast<long long>(r + 1));
        const QByteArrayView row(number, digits);
        bool open = false;
        for (int f = 0; f < kShownFieldCount; ++f) {
            const QString& v = m_cells[static_cast<size_t>(f)];
            if (v.isEmpty())
                continue;
            if (!open) {
                out.add("<row r=\"");
                out.add(row);
                out.add("\">");
                open = true;
            }
            out.add("<c r=\"");
            out.add(char('A' + f));
            out.add(row);
            out.add("\" t=\"inlineStr\"><is><t");
            if (v.front().isSpace() || v.back().isSpace() || v.contains(u'\n') ||
                v.contains(u'\t') || v.contains(u'\r'))
                out.add(" xml:space=\"preserve\"");
            out.add('>');
            out.text(v);
            out.add("</t></is></c>");
        }
        if (open)
            out.add("</row>");
    }
    void tick() {
        ++m_done;
        if (m_progress && (m_done % 256 == 0 || m_done == 2 * m_total) &&
            !m_progress(m_done, 2 * m_total))
            throw Cancelled{};
    }

    const ExportRows& m_rows;
    const qint64 m_total;
    const ExportProgress& m_progress;
    const QByteArray m_head;
    ShownRow m_cells;
    qint64 m_size = -1;
    qint64 m_done = 0;
    qint64 m_row = 0;
    QByteArray m_buffer;
    qint64 m_pos = 0;
    bool m_ended = false;
};

QByteArray attr(const QString& value) {
    QByteArray out;
    appendXmlText(out, value);
    return out;
}

void addNewWorkbookParts(PackageStreamWriter& package, const QString& sheetName) {
    package.add(kContentTypes,
                kXmlDecl +
                    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                    "<Default Extension=\"rels\" "
                    "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                    "<Override PartName=\"/xl/workbook.xml\" "
                    "ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                    "<Override PartName=\"/xl/styles.xml\" "
                    "ContentType=\"application/"
                    "vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
                    "<Override PartName=\"/xl/worksheets/sheet1.xml\" ContentType=\"" +
                    kSheetType.toUtf8() + "\"/></Types>");
    package.add(QStringLiteral("_rels/.rels"),
                kXmlDecl + "<Relationships xmlns=\"" + kPackageRelNs.toUtf8() +
                    "\"><Relationship Id=\"rId1\" Type=\"" + kRelNs.toUtf8() +
                    "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
    package.add(QStringLiteral("xl/workbook.xml"),
                kXmlDecl + "<workbook xmlns=\"" + kMainNs.toUtf8() + "\" xmlns:r=\"" +
                    kRelNs.toUtf8() + "\"><sheets><sheet name=\"" + attr(sheetName) +
                    "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    package.add(QStringLiteral("xl/_rels/workbook.xml.rels"),
                kXmlDecl + "<Relationships xmlns=\"" + kPackageRelNs.toUtf8() +
                    "\"><Relationship Id=\"rId1\" Type=\"" + kRelNs.toUtf8() +
                    "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" "
                    "Type=\"" +
                    kRelNs.toUtf8() + "/styles\" Target=\"styles.xml\"/></Relationships>");
    package.add(QStringLiteral("xl/styles.xml"),
                kXmlDecl + "<styleSheet xmlns=\"" + kMainNs.toUtf8() +
                    "\"><fonts count=\"1\"><font><sz val=\"11\"/><name val=\"Calibri\"/></font>"
                    "</fonts><fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
                    "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
                    "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/>"
                    "</border></borders><cellStyleXfs count=\"1\"><xf numFmtId=\"0\" "
                    "fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
                    "<cellXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                    "borderId=\"0\" xfId=\"0\"/></cellXfs><cellStyles count=\"1\">"
                    "<cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
                    "</styleSheet>");
}

void checkRowCount(const ExportRows& rows) {
    if (rows.rowCount() > kMaxSheetRows)
        throw EExportError(
            QStringLiteral("Ein Tabellenblatt fasst höchstens %1 Zeilen, es sind %2 / a sheet "
                           "holds at most %1 rows, there are %2")
                .arg(kMaxSheetRows)
                .arg(rows.rowCount()));
}

bool writePackage(PackageStreamWriter& package, QIODevice& out, const ExportRows& rows,
                  const ExportProgress& progress) {
    // Level 6 makes a large sheet about a quarter smaller than level 1 but
    // takes twice as long; either shrinks the XML more than tenfold.
    package.setDeflateLevel(1);
    if (progress && !progress(0, 2 * rows.rowCount()))
        return false;
    try {
        package.write(out);
    } catch (const Cancelled&) {
        return false;
    }
    return true;
}

// --- Extending an existing workbook ---------------------------------------

[[noreturn]] void refuse(const QString& path, const QString& why) {
    throw EExportError(
        QStringLiteral("%1 ist keine Excel-Arbeitsmappe, an die ein Blatt angehängt werden kann; "
                       "die Datei bleibt unverändert (%2) / %1 is not an Excel workbook that a "
                       "sheet can be added to; the file is left unchanged")
            .arg(path, why));
}

struct Part {
    QString name;
    QString text;
};

Part readPart(const PackageReader& package, const QString& name, const QString& path) {
    if (!package.contains(name))
        refuse(path, QStringLiteral("%1 fehlt").arg(name));
    QByteArray bytes = package.read(name);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        refuse(path, QStringLiteral("%1 ist nicht UTF-8").arg(name));
    return {name, text};
}

QString prefixOf(QStringView qualifiedName) {
    const qsizetype colon = qualifiedName.indexOf(u':');
    return colon < 0 ? QString() : qualifiedName.first(colon + 1).toString();
}

// The new last child of the element whose end tag (or "/>") ends at `end`.
void insertLastChild(QString& text, qsizetype end, const QString& qualifiedName,
                     const QString& child) {
    if (end >= 2 && QStringView(text).sliced(end - 2, 2) == u"/>") {
        text.replace(end - 2, 2, u'>' + child + QStringLiteral("</") + qualifiedName + u'>');
        return;
    }
    const qsizetype close = text.lastIndexOf(u"</", end - 1);
    text.insert(close, child);
}

QString xmlAttr(const QString& value) {
    return QString::fromUtf8(attr(value));
}

struct Relationships {
    QStringList ids;
    QString rootName; // qualified
    qsizetype end = -1;
    QString officeDocument; // target of the officeDocument relationship
    QString officeType;     // its type
};

Relationships readRelationships(const Part& part, const QString& path) {
    Relationships rels;
    QXmlStreamReader xml(part.text);
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1) {
                if (xml.name() != u"Relationships" || xml.namespaceUri() != kPackageRelNs)
                    refuse(path, QStringLiteral("%1 ist keine Beziehungsliste").arg(part.name));
                rels.rootName = xml.qualifiedName().toString();
            } else if (depth == 2 && xml.name() == u"Relationship") {
                const auto a = xml.attributes();
                rels.ids << a.value(QLatin1StringView("Id")).toString();
                const QString type = a.value(QLatin1StringView("Type")).toString();
                if (type.endsWith(u"/officeDocument") && rels.officeDocument.isEmpty()) {
                    rels.officeDocument = a.value(QLatin1StringView("Target")).toString();
                    rels.officeType = type;
                }
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (--depth == 0)
                rels.end = xml.characterOffset();
        }
    }
    if (xml.hasError() || rels.end < 0)
        refuse(path, QStringLiteral("%1: %2").arg(part.name, xml.errorString()));
    return rels;
}

struct Workbook {
    QString ns;
    QString sheetsName; // qualified
    qsizetype sheetsEnd = -1;
    QStringList sheetNames;
    qint64 maxSheetId = 0;
};

Workbook readWorkbook(const Part& part, const QString& path) {
    Workbook wb;
    QXmlStreamReader xml(part.text);
    int depth = 0;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (depth == 1) {
                if (xml.name() != u"workbook")
                    refuse(path, QStringLiteral("%1 ist keine Arbeitsmappe").arg(part.name));
                wb.ns = xml.namespaceUri().toString();
            } else if (depth == 2 && xml.name() == u"sheets" && xml.namespaceUri() == wb.ns) {
                wb.sheetsName = xml.qualifiedName().toString();
            } else if (depth == 3 && !wb.sheetsName.isEmpty() && wb.sheetsEnd < 0 &&
                       xml.name() == u"sheet") {
                const auto a = xml.attributes();
                wb.sheetNames << a.value(QLatin1StringView("name")).toString();
                wb.maxSheetId =
                    qMax(wb.maxSheetId, a.value(QLatin1StringView("sheetId")).toLongLong());
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 2 && !wb.sheetsName.isEmpty() && wb.sheetsEnd < 0)
                wb.sheetsEnd = xml.characterOffset();
            --depth;
        }
    }
    if (xml.hasError())
        refuse(path, QStringLiteral("%1: %2").arg(part.name, xml.errorString()));
    if (wb.sheetsEnd < 0)
        refuse(path, QStringLiteral("%1 hat keine Blattliste").arg(part.name));
    return wb;
}

QString folderOf(const QString& partName) {
    const qsizetype slash = partName.lastIndexOf(u'/');
    return slash < 0 ? QString() : partName.left(slash + 1);
}

// Copies the workbook, replacing its list of parts, its sheet list and its
// relationships with versions that name one more sheet, and adds that sheet.
void planExtension(PackageStreamWriter& package, const PackageReader& existing, const QString& path,
                   const QString& wantedName, const ExportRows& rows,
                   const ExportProgress& progress) {
    Part types = readPart(existing, kContentTypes, path);
    const Relationships root =
        readRelationships(readPart(existing, QStringLiteral("_rels/.rels"), path), path);
    QString workbookName = root.officeDocument;
    while (workbookName.startsWith(u'/'))
        workbookName.remove(0, 1);
    if (workbookName.isEmpty())
        refuse(path, QStringLiteral("kein Hauptdokument"));
    Part workbookPart = readPart(existing, workbookName, path);
    const Workbook wb = readWorkbook(workbookPart, path);
    const QString relNs = root.officeType.chopped(QStringLiteral("/officeDocument").size());
    const QString folder = folderOf(workbookName);
    Part relsPart = readPart(
        existing, folder + QStringLiteral("_rels/") + workbookName.mid(folder.size()) + u".rels",
        path);
    const Relationships rels = readRelationships(relsPart, path);

    // A part name no entry and no declared part has (part names ignore case).
    QSet<QString> taken;
    for (const PackageEntry& e : existing.entries())
        taken.insert(e.name.toLower());
    const QString typesLower = types.text.toLower();
    QString sheetPart;
    for (int n = wb.sheetNames.size() + 1;; ++n) {
        sheetPart = folder + QStringLiteral("worksheets/sheet%1.xml").arg(n);
        if (!taken.contains(sheetPart.toLower()) &&
            !typesLower.contains(u"\"/" + sheetPart.toLower() + u'"'))
            break;
    }
    QString relId;
    for (int n = rels.ids.size() + 1;; ++n) {
        relId = QStringLiteral("rId%1").arg(n);
        if (!rels.ids.contains(relId))
            break;
    }
    const QString sheetName = uniqueSheetName(wantedName, wb.sheetNames);

    // Read the content types' root and its end, then add the sheet's type.
    {
        QXmlStreamReader xml(types.text);
        QString rootName;
        qsizetype end = -1;
        int depth = 0;
        while (!xml.atEnd()) {
            const auto token = xml.readNext();
            if (token == QXmlStreamReader::StartElement && depth++ == 0) {
                if (xml.name() != u"Types")
                    refuse(path, QStringLiteral("%1 ist ungültig").arg(kContentTypes));
                rootName = xml.qualifiedName().toString();
            } else if (token == QXmlStreamReader::EndElement && --depth == 0) {
                end = xml.characterOffset();
            }
        }
        if (xml.hasError() || end < 0)
            refuse(path, QStringLiteral("%1: %2").arg(kContentTypes, xml.errorString()));
        insertLastChild(types.text, end, rootName,
                        u'<' + prefixOf(rootName) + QStringLiteral("Override PartName=\"/") +
                            xmlAttr(sheetPart) + QStringLiteral("\" ContentType=\"") + kSheetType +
                            QStringLiteral("\"/>"));
    }
    insertLastChild(
        workbookPart.text, wb.sheetsEnd, wb.sheetsName,
        u'<' + prefixOf(wb.sheetsName) + QStringLiteral("sheet name=\"") + xmlAttr(sheetName) +
            QStringLiteral("\" sheetId=\"%1\" xmlns:r=\"").arg(wb.maxSheetId + 1) + xmlAttr(relNs) +
            QStringLiteral("\" r:id=\"") + relId + QStringLiteral("\"/>"));
    insertLastChild(relsPart.text, rels.end, rels.rootName,
                    u'<' + prefixOf(rels.rootName) + QStringLiteral("Relationship Id=\"") + relId +
                        QStringLiteral("\" Type=\"") + xmlAttr(relNs) +
                        QStringLiteral("/worksheet\" Target=\"") +
                        xmlAttr(sheetPart.mid(folder.size())) + QStringLiteral("\"/>"));

    package.copyFrom(existing);
    package.add(types.name, types.text.toUtf8());
    package.add(workbookPart.name, workbookPart.text.toUtf8());
    package.add(relsPart.name, relsPart.text.toUtf8());
    package.add(sheetPart, std::make_unique<SheetSource>(rows, wb.ns, progress));
}

} // namespace

QString uniqueSheetName(const QString& wanted, const QStringList& existing) {
    QString base;
    for (const QChar c : wanted) {
        if (c.unicode() >= 0x20 && !QStringView(u"[]:*?/\\").contains(c))
            base.append(c);
    }
    base = base.trimmed();
    while (base.startsWith(u'\''))
        base.remove(0, 1);
    while (base.endsWith(u'\''))
        base.chop(1);
    if (base.isEmpty())
        base = QStringLiteral("Adressen");
    const auto cut = [](QString s, qsizetype max) {
        if (s.size() > max) {
            qsizetype n = max;
            if (s.at(n - 1).isHighSurrogate())
                --n;
            s.truncate(n);
        }
        while (s.endsWith(u'\'') || s.endsWith(u' '))
            s.chop(1);
        return s;
    };
    const auto taken = [&](const QString& name) {
        for (const QString& e : existing) {
            if (e.compare(name, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    };
    QString name = cut(base, 31);
    for (int n = 2; taken(name) || name.isEmpty(); ++n) {
        const QString suffix = QStringLiteral(" (%1)").arg(n);
        name = cut(base, 31 - suffix.size()) + suffix;
    }
    return name;
}

bool writeXlsx(const ExportRows& rows, const QString& sheetName, QIODevice& out,
               const ExportProgress& progress) {
    checkRowCount(rows);
    PackageStreamWriter package;
    addNewWorkbookParts(package, uniqueSheetName(sheetName, {}));
    package.add(QStringLiteral("xl/worksheets/sheet1.xml"),
                std::make_unique<SheetSource>(rows, kMainNs, progress));
    return writePackage(package, out, rows, progress);
}

bool exportXlsx(const ExportRows& rows, const QString& path, const QString& sheetName,
                const ExportProgress& progress) {
    checkRowCount(rows);
    const QFileInfo info(path);
    std::unique_ptr<PackageReader> existing;
    if (info.exists() && !(info.isFile() && info.size() == 0)) {
        try {
            existing = std::make_unique<PackageReader>(path);
        } catch (const EPackageError& e) {
            refuse(path, e.message());
        }
    }
    PackageStreamWriter package;
    if (existing) {
        try {
            planExtension(package, *existing, path, sheetName, rows, progress);
        } catch (const EPackageError& e) {
            refuse(path, e.message());
        }
    } else {
        addNewWorkbookParts(package, uniqueSheetName(sheetName, {}));
        package.add(QStringLiteral("xl/worksheets/sheet1.xml"),
                    std::make_unique<SheetSource>(rows, kMainNs, progress));
    }
    SaveFile file(path);
    try {
        if (!writePackage(package, file.device(), rows, progress))
            return false;
    } catch (const EPackageError& e) {
        // An entry of the old workbook that cannot be read back.
        if (!existing)
            throw;
        refuse(path, e.message());
    } catch (const EWriteError&) {
        throw EWriteError(SaveFile::cannotWriteMessage(path) + QStringLiteral(" (") +
                          file.device().errorString() + u')');
    }
    file.commit();
    return true;
}

} // namespace kalvendo
