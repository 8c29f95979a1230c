#pragma once

#include "output/report/ReportProject.h"

#include <QColor>
#include <QDate>
#include <QFont>
#include <QLineF>
#include <QPageLayout>
#include <QPageSize>
#include <QPointF>
#include <QRectF>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QPainter;

namespace kalvendo {

class ReportRows;

// The pages of one report run, laid out once. The preview, the printer and the
// PDF writer all draw from it, so what the preview shows is what is printed.
//
// Coordinates are layout units of a tenth of a point from the paper's top
// left corner. Fonts are sized in the same units (pixel size), so text is
// measured once, independently of any device, and scales with the painter:
// the preview draws the vector content at its zoom, never a bitmap.
class ReportDocument {
public:
    static constexpr double kUnitsPerPoint = 10.0;

    enum FontRole : quint8 { Heading, Body, Caption, Footer, FontRoleCount };

    struct Text {
        QPointF origin; // left end of the base line
        QString text;
        FontRole font = Body;
        QRectF cell;       // the box the text must stay in
        bool clip = false; // shortened with "…": drawn clipped to its cell as well
    };
    struct Page {
        std::vector<QRectF> shading; // row backgrounds
        std::vector<QLineF> rules;
        std::vector<Text> texts;
    };

    const QPageSize& pageSize() const { return m_pageSize; }
    QPageLayout::Orientation orientation() const { return m_orientation; }
    // The paper in layout units, orientation applied.
    QSizeF paperSize() const { return m_paper; }

    int pageCount() const { return int(m_pages.size()); }
    const Page& page(int index) const { return m_pages.at(size_t(index)); }
    const QFont& font(FontRole role) const { return m_fonts[role]; }
    // Table rows per page (the last page may hold fewer) and rows in all.
    int rowsPerPage() const { return m_rowsPerPage; }
    int rowCount() const { return m_rowCount; }
    // Left edges of the columns and the right edge of the last, in layout units.
    const std::vector<double>& columnEdges() const { return m_edges; }

    // Draws page `index` (0-based) in layout units through the painter's
    // current transformation.
    void drawPage(QPainter& painter, int index) const;
    // Draws page `index` scaled to fill `target` (the painter's coordinates).
    void drawPage(QPainter& painter, int index, const QRectF& target) const;

private:
    friend class ReportLayouter;
    QPageSize m_pageSize;
    QPageLayout::Orientation m_orientation = QPageLayout::Landscape;
    QSizeF m_paper;
    std::array<QFont, FontRoleCount> m_fonts;
    QColor m_shading;
    std::vector<Page> m_pages;
    std::vector<double> m_edges;
    int m_rowsPerPage = 0;
    int m_rowCount = 0;
};

// Called after each page is laid out with its number (from 1) and the page
// count; returning false cancels the run.
using LayoutProgress = std::function<bool(int page, int pageCount)>;

// Lays out one report over the rows with the variables of the run. Rows are
// never split across pages; a text too long for its cell is shortened with
// "…". Returns nothing when `progress` cancelled. Throws EReportProjectError
// when the page cannot hold a single row.
std::optional<ReportDocument> layoutReport(const ReportDefinition& def,
                                           const ReportVariables& variables, const ReportRows& rows,
                                           const LayoutProgress& progress = {},
                                           const QDate& printDate = QDate::currentDate());

// What a cell shows of a value: control characters and line breaks become
// blanks (a row is one line).
QString cellText(const QString& value);

} // namespace kalvendo
