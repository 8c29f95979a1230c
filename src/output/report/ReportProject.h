#pragma once

#include "common/Exception.h"

#include <QColor>
#include <QHash>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <QStringList>

#include <vector>

namespace kalvendo {

// Every failure of a report run that is not a file write.
KALVENDO_DECLARE_EXCEPTION(EReportError, Exception)
// The report project file is missing, unreadable or damaged; the message names
// the file and, where there is one, the line and column.
KALVENDO_DECLARE_EXCEPTION(EReportProjectError, EReportError)

// One column of a report's table.
struct ReportColumn {
    int field = 0;    // position of the table field in the record
    QString caption;  // name of the variable that holds the column caption
    double width = 1; // share of the table width, relative to the other columns
};

// One named report of a project, as read from the file.
struct ReportDefinition {
    QString name;
    QPageSize pageSize{QPageSize::A4};
    QPageLayout::Orientation orientation = QPageLayout::Landscape;
    QMarginsF margins; // millimetres
    QString fontFamily;
    double fontSize = 9; // points, table body and captions
    QString headingVariable;
    double headingSize = 16;
    bool showDate = true;
    QColor shading; // every second row; invalid: none
    std::vector<ReportColumn> columns;
    QString footerPageVariable; // "Seite"
    QString footerOfVariable;   // "von"
    double footerSize = 8;
};

// The names every project must hold.
inline constexpr int kReportCount = 4;
// "Report" followed by n for 0..3; empty for any other number.
QString reportName(int number);

// A report project file (velmora.rav), read and checked as a whole: a file
// that loads holds Report0 .. Report3 and names only fields the table has.
class ReportProject {
public:
    // Throws EReportProjectError.
    static ReportProject load(const QString& path);
    // The same from the file's bytes; `fileName` is what messages call it.
    static ReportProject parse(const QByteArray& xml, const QString& fileName);

    const QString& fileName() const { return m_fileName; }
    const std::vector<ReportDefinition>& reports() const { return m_reports; }
    // The report of that name (exact), or nullptr.
    const ReportDefinition* findReport(const QString& name) const;

private:
    QString m_fileName;
    std::vector<ReportDefinition> m_reports;
};

// The report variables of one run, by name.
using ReportVariables = QHash<QString, QString>;

// The project as the print and export commands use it: opened from its file
// for one run, variables set by name, a report looked up by name.
class RvProject {
public:
    QString ProjectFile;

    // Loads ProjectFile. Throws EReportProjectError; the project stays closed.
    void Open();
    // Forgets the file's reports and every variable.
    void Close();
    bool isOpen() const { return m_open; }

    void SetParam(const QString& name, const QString& value);
    const ReportVariables& params() const { return m_params; }
    // The order in which SetParam named the variables since Open.
    const QStringList& paramOrder() const { return m_order; }

    // The open project's report of that name, or nullptr (also when closed).
    const ReportDefinition* findReport(const QString& name) const;

private:
    ReportProject m_project;
    ReportVariables m_params;
    QStringList m_order;
    bool m_open = false;
};

// Closes a project however the scope is left.
class RvProjectCloser {
public:
    explicit RvProjectCloser(RvProject& project) : m_project(project) {}
    ~RvProjectCloser() { m_project.Close(); }
    RvProjectCloser(const RvProjectCloser&) = delete;
    RvProjectCloser& operator=(const RvProjectCloser&) = delete;

private:
    RvProject& m_project;
};

} // namespace kalvendo
