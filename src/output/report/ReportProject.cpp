#include "output/report/ReportProject.h"

#include "addressbook/Fields.h"

#include <QFile>
#include <QFileInfo>
#include <QSizeF>
#include <QXmlStreamReader>

#include <cmath>
#include <set>

using namespace Qt::Literals::StringLiterals;

namespace kalvendo {

QString reportName(int number) {
    if (number < 0 || number >= kReportCount)
        return QString();
    return QStringLiteral("Report") + QString::number(number);
}

namespace {

// Reads the file format described in docs/design/report.md. Strict: an element
// or attribute the format does not know is an error, so that a typing mistake
// in a hand-edited file is reported instead of silently printing less.
class Parser {
public:
    Parser(const QByteArray& xml, QString fileName) : m_xml(xml), m_fileName(std::move(fileName)) {}

    std::vector<ReportDefinition> run() {
        if (!m_xml.readNextStartElement())
            failXml();
        if (m_xml.name() != u"reportproject")
            failHere(
                QStringLiteral("unerwartetes Element <%1> statt <reportproject>").arg(m_xml.name()),
                QStringLiteral("unexpected element <%1> instead of <reportproject>")
                    .arg(m_xml.name()));
        checkAttributes({"version"_L1});
        const QString version = required("version"_L1);
        if (version != u"1")
            failHere(QStringLiteral("Version %1 wird nicht unterstützt").arg(version),
                     QStringLiteral("version %1 is not supported").arg(version));

        std::vector<ReportDefinition> reports;
        std::set<QString> names;
        while (m_xml.readNextStartElement()) {
            expectElement(u"report");
            const qint64 line = m_xml.lineNumber();
            const qint64 column = m_xml.columnNumber();
            ReportDefinition def = report();
            if (!names.insert(def.name).second)
                failAt(line, column,
                       QStringLiteral("der Report %1 ist doppelt vorhanden").arg(def.name),
                       QStringLiteral("report %1 appears twice").arg(def.name));
            reports.push_back(std::move(def));
        }
        if (m_xml.hasError())
            failXml();
        // Nothing may follow the root element but comments and white space.
        while (!m_xml.atEnd()) {
            m_xml.readNext();
            if (m_xml.isStartElement())
                failHere(QStringLiteral("unerwartetes Element <%1>").arg(m_xml.name()),
                         QStringLiteral("unexpected element <%1>").arg(m_xml.name()));
        }
        if (m_xml.hasError())
            failXml();

        for (int n = 0; n < kReportCount; ++n) {
            const QString name = reportName(n);
            if (!names.count(name))
                fail(QStringLiteral("der Report %1 fehlt").arg(name),
                     QStringLiteral("report %1 is missing").arg(name));
        }
        return reports;
    }

private:
    ReportDefinition report() {
        checkAttributes({"name"_L1});
        ReportDefinition def;
        def.name = required("name"_L1);
        if (def.name.trimmed().isEmpty())
            failHere(QStringLiteral("der Report hat keinen Namen"),
                     QStringLiteral("the report has no name"));
        bool page = false, header = false, table = false, footer = false;
        while (m_xml.readNextStartElement()) {
            const auto name = m_xml.name();
            if (name == u"page") {
                once(page);
                pageElement(def);
            } else if (name == u"font") {
                checkAttributes({"family"_L1, "size"_L1});
                def.fontFamily = required("family"_L1);
                def.fontSize = number("size"_L1, 1, 72);
                leaf();
            } else if (name == u"header") {
                once(header);
                checkAttributes({"heading"_L1, "size"_L1, "date"_L1});
                def.headingVariable = required("heading"_L1);
                def.headingSize = number("size"_L1, 1, 72);
                def.showDate = yesNo("date"_L1);
                leaf();
            } else if (name == u"table") {
                once(table);
                tableElement(def);
            } else if (name == u"footer") {
                once(footer);
                checkAttributes({"page"_L1, "of"_L1, "size"_L1});
                def.footerPageVariable = required("page"_L1);
                def.footerOfVariable = required("of"_L1);
                def.footerSize = number("size"_L1, 1, 72);
                leaf();
            } else {
                unexpected();
            }
        }
        if (m_xml.hasError())
            failXml();
        for (auto [present, what] : {std::pair{page, "page"}, std::pair{header, "header"},
                                     std::pair{table, "table"}, std::pair{footer, "footer"}}) {
            if (!present)
                failHere(QStringLiteral("im Report %1 fehlt <%2>")
                             .arg(def.name, QString::fromLatin1(what)),
                         QStringLiteral("report %1 has no <%2>")
                             .arg(def.name, QString::fromLatin1(what)));
        }
        return def;
    }

    void pageElement(ReportDefinition& def) {
        checkAttributes(
            {"size"_L1, "orientation"_L1, "left"_L1, "top"_L1, "right"_L1, "bottom"_L1});
        const QString size = required("size"_L1);
        static const std::pair<const char16_t*, QPageSize::PageSizeId> sizes[] = {
            {u"A3", QPageSize::A3},         {u"A4", QPageSize::A4},       {u"A5", QPageSize::A5},
            {u"Letter", QPageSize::Letter}, {u"Legal", QPageSize::Legal},
        };
        bool known = false;
        for (const auto& [name, id] : sizes) {
            if (size.compare(QStringView(name), Qt::CaseInsensitive) == 0) {
                def.pageSize = QPageSize(id);
                known = true;
            }
        }
        if (!known)
            failHere(QStringLiteral("unbekannte Seitengröße \"%1\"").arg(size),
                     QStringLiteral("unknown page size \"%1\"").arg(size));
        const QString orientation = required("orientation"_L1);
        if (orientation == u"landscape")
            def.orientation = QPageLayout::Landscape;
        else if (orientation == u"portrait")
            def.orientation = QPageLayout::Portrait;
        else
            failHere(QStringLiteral("unbekannte Ausrichtung \"%1\"").arg(orientation),
                     QStringLiteral("unknown orientation \"%1\"").arg(orientation));
        def.margins = QMarginsF(number("left"_L1, 0, 1000), number("top"_L1, 0, 1000),
                                number("right"_L1, 0, 1000), number("bottom"_L1, 0, 1000));
        const QSizeF mm = def.pageSize.size(QPageSize::Millimeter);
        const QSizeF page = def.orientation == QPageLayout::Landscape ? mm.transposed() : mm;
        if (def.margins.left() + def.margins.right() >= page.width() ||
            def.margins.top() + def.margins.bottom() >= page.height())
            failHere(QStringLiteral("die Ränder sind größer als die Seite"),
                     QStringLiteral("the margins are larger than the page"));
        leaf();
    }

    void tableElement(ReportDefinition& def) {
        checkAttributes({"shading"_L1});
        const QString shading = m_xml.attributes().value("shading"_L1).toString();
        if (!shading.isEmpty()) {
            def.shading = QColor::fromString(shading);
            if (!def.shading.isValid())
                failHere(QStringLiteral("unbekannte Farbe \"%1\"").arg(shading),
                         QStringLiteral("unknown colour \"%1\"").arg(shading));
        }
        while (m_xml.readNextStartElement()) {
            expectElement(u"column");
            checkAttributes({"field"_L1, "caption"_L1, "width"_L1});
            ReportColumn column;
            const QString field = required("field"_L1);
            column.field = fieldPosition(field);
            if (column.field < 0)
                failHere(QStringLiteral("unbekanntes Feld \"%1\"").arg(field),
                         QStringLiteral("unknown field \"%1\"").arg(field));
            column.caption = required("caption"_L1);
            column.width = number("width"_L1, 0, 1000);
            if (column.width <= 0)
                failHere(QStringLiteral("die Spaltenbreite muss größer als 0 sein"),
                         QStringLiteral("the column width must be above 0"));
            leaf();
            def.columns.push_back(column);
        }
        if (m_xml.hasError())
            failXml();
        if (def.columns.empty())
            failHere(QStringLiteral("die Tabelle hat keine Spalte"),
                     QStringLiteral("the table has no column"));
    }

    // An element that may hold nothing but comments and white space.
    void leaf() {
        if (m_xml.readNextStartElement())
            unexpected();
        if (m_xml.hasError())
            failXml();
    }

    void once(bool& seen) {
        if (seen)
            failHere(QStringLiteral("<%1> ist doppelt vorhanden").arg(m_xml.name()),
                     QStringLiteral("<%1> appears twice").arg(m_xml.name()));
        seen = true;
    }

    void expectElement(QStringView name) {
        if (m_xml.name() != name)
            unexpected();
    }

    [[noreturn]] void unexpected() {
        failHere(QStringLiteral("unerwartetes Element <%1>").arg(m_xml.name()),
                 QStringLiteral("unexpected element <%1>").arg(m_xml.name()));
    }

    void checkAttributes(std::initializer_list<QLatin1StringView> allowed) {
        for (const QXmlStreamAttribute& a : m_xml.attributes()) {
            bool ok = false;
            for (QLatin1StringView name : allowed)
                ok = ok || a.qualifiedName() == name;
            if (!ok)
                failHere(QStringLiteral("unbekanntes Attribut \"%1\" in <%2>")
                             .arg(a.qualifiedName(), m_xml.name()),
                         QStringLiteral("unknown attribute \"%1\" of <%2>")
                             .arg(a.qualifiedName(), m_xml.name()));
        }
    }

    QString required(QLatin1StringView attribute) {
        if (!m_xml.attributes().hasAttribute(attribute))
            failHere(
                QStringLiteral("in <%1> fehlt das Attribut \"%2\"").arg(m_xml.name(), attribute),
                QStringLiteral("<%1> has no attribute \"%2\"").arg(m_xml.name(), attribute));
        return m_xml.attributes().value(attribute).toString();
    }

    double number(QLatin1StringView attribute, double min, double max) {
        const QString text = required(attribute);
        bool ok = false;
        const double v = text.toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < min || v > max)
            failHere(QStringLiteral("\"%1\" ist für %2 keine Zahl von %3 bis %4")
                         .arg(text, attribute, QString::number(min), QString::number(max)),
                     QStringLiteral("\"%1\" is no number from %3 to %4 for %2")
                         .arg(text, attribute, QString::number(min), QString::number(max)));
        return v;
    }

    bool yesNo(QLatin1StringView attribute) {
        const QString text = required(attribute);
        if (text == u"yes")
            return true;
        if (text == u"no")
            return false;
        failHere(QStringLiteral("\"%1\" ist für %2 weder yes noch no").arg(text, attribute),
                 QStringLiteral("\"%1\" is neither yes nor no for %2").arg(text, attribute));
    }

    [[noreturn]] void failXml() {
        failHere(QStringLiteral("kein gültiges XML (%1)").arg(m_xml.errorString()),
                 QStringLiteral("not valid XML (%1)").arg(m_xml.errorString()));
    }

    [[noreturn]] void failHere(const QString& de, const QString& en) {
        failAt(m_xml.lineNumber(), m_xml.columnNumber(), de, en);
    }

    [[noreturn]] void failAt(qint64 line, qint64 column, const QString& de, const QString& en) {
        throw EReportProjectError(
            QStringLiteral("Das Reportprojekt %1 ist beschädigt, Zeile %2, Spalte %3: %4 / the "
                           "report project %1 is damaged, line %2, column %3: %5")
                .arg(m_fileName, QString::number(line), QString::number(column), de, en));
    }

    [[noreturn]] void fail(const QString& de, const QString& en) {
        throw EReportProjectError(
            QStringLiteral("Das Reportprojekt %1 ist beschädigt: %2 / the report project %1 is "
                           "damaged: %3")
                .arg(m_fileName, de, en));
    }

    QXmlStreamReader m_xml;
    QString m_fileName;
};

} // namespace

ReportProject ReportProject::load(const QString& path) {
    QFile file(path);
    if (!QFileInfo(path).isFile())
        throw EReportProjectError(QStringLiteral("Das Reportprojekt %1 existiert nicht / the "
                                                 "report project %1 does not exist")
                                      .arg(path));
    if (!file.open(QIODevice::ReadOnly))
        throw EReportProjectError(QStringLiteral("Das Reportprojekt %1 kann nicht gelesen werden "
                                                 "/ the report project %1 cannot be read: %2")
                                      .arg(path, file.errorString()));
    // A report project is a few kilobytes; anything far larger is not one.
    constexpr qint64 kMaxSize = 4 * 1024 * 1024;
    if (file.size() > kMaxSize)
        throw EReportProjectError(QStringLiteral("Das Reportprojekt %1 ist zu groß / the report "
                                                 "project %1 is too large")
                                      .arg(path));
    return parse(file.readAll(), path);
}

ReportProject ReportProject::parse(const QByteArray& xml, const QString& fileName) {
    ReportProject project;
    project.m_fileName = fileName;
    project.m_reports = Parser(xml, fileName).run();
    return project;
}

const ReportDefinition* ReportProject::findReport(const QString& name) const {
    for (const ReportDefinition& def : m_reports) {
        if (def.name == name)
            return &def;
    }
    return nullptr;
}

void RvProject::Open() {
    Close();
    m_project = ReportProject::load(ProjectFile);
    m_open = true;
}

void RvProject::Close() {
    m_project = ReportProject();
    m_params.clear();
    m_order.clear();
    m_open = false;
}

void RvProject::SetParam(const QString& name, const QString& value) {
    if (!m_params.contains(name))
        m_order << name;
    m_params.insert(name, value);
}

const ReportDefinition* RvProject::findReport(const QString& name) const {
    return m_open ? m_project.findReport(name) : nullptr;
}

} // namespace kalvendo
