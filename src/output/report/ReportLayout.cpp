#include "output/report/ReportLayout.h"

#include "common/LocaleFormat.h"
#include "output/report/ReportRows.h"

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include <cmath>

namespace kalvendo {

namespace {

constexpr double kUnit = ReportDocument::kUnitsPerPoint;
constexpr double kMillimetre = 72.0 / 25.4 * kUnit;
constexpr double kPadding = 3 * kUnit; // inside each cell, left and right
constexpr double kRuleWidth = 0.8 * kUnit;

QFont makeFont(const QString& family, double points, bool bold) {
    QFont f(family.isEmpty() ? QStringLiteral("Sans Serif") : family);
    f.setStyleHint(QFont::SansSerif);
    // Unhinted outlines scale linearly, so a width measured here is the width
    // drawn on every device and at every zoom.
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setPixelSize(std::max(1, int(std::lround(points * kUnit))));
    f.setBold(bold);
    return f;
}

bool isBreakOrControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0) || u == 0x2028 || u == 0x2029;
}

} // namespace

QString cellText(const QString& value) {
    QString out = value;
    for (QChar& c : out) {
        if (isBreakOrControl(c))
            c = u' ';
    }
    return out;
}

class ReportLayouter {
public:
    ReportLayouter(const ReportDefinition& def, const ReportVariables& vars)
        : m_def(def), m_vars(vars) {}

    std::optional<ReportDocument> run(const ReportRows& rows, const LayoutProgress& progress,
                                      const QDate& printDate) {
        ReportDocument& doc = m_doc;
        doc.m_pageSize = m_def.pageSize;
        doc.m_orientation = m_def.orientation;
        QSizeF paper = m_def.pageSize.size(QPageSize::Point) * kUnit;
        if (m_def.orientation == QPageLayout::Landscape)
            paper.transpose();
        doc.m_paper = paper;
        doc.m_shading = m_def.shading;
        doc.m_fonts[ReportDocument::Heading] = makeFont(m_def.fontFamily, m_def.headingSize, true);
        doc.m_fonts[ReportDocument::Body] = makeFont(m_def.fontFamily, m_def.fontSize, false);
        doc.m_fonts[ReportDocument::Caption] = makeFont(m_def.fontFamily, m_def.fontSize, true);
        doc.m_fonts[ReportDocument::Footer] = makeFont(m_def.fontFamily, m_def.footerSize, false);
        for (int r = 0; r < ReportDocument::FontRoleCount; ++r)
            m_metrics.emplace_back(doc.m_fonts[size_t(r)]);

        const QMarginsF& m = m_def.margins;
        m_left = m.left() * kMillimetre;
        m_right = paper.width() - m.right() * kMillimetre;
        const double top = m.top() * kMillimetre;
        const double bottom = paper.height() - m.bottom() * kMillimetre;

        const QFontMetricsF& body = metrics(ReportDocument::Body);
        const QFontMetricsF& heading = metrics(ReportDocument::Heading);
        const QFontMetricsF& footer = metrics(ReportDocument::Footer);
        m_rowHeight = std::ceil(body.lineSpacing() * 1.35);
        const double gap = std::ceil(m_rowHeight * 0.6);

        m_headingBase = top + heading.ascent();
        m_captionTop = m_headingBase + heading.descent() + gap;
        m_rowsTop = m_captionTop + m_rowHeight + kRuleWidth;
        m_footerBase = bottom - footer.descent();
        const double rowsBottom = bottom - footer.ascent() - footer.descent() - gap;
        const int perPage = int(std::floor((rowsBottom - m_rowsTop) / m_rowHeight));
        if (perPage < 1)
            throw EReportProjectError(
                QStringLiteral("Im Report %1 hat keine Zeile Platz auf der Seite / report %1 has "
                               "no room for a single row on its page")
                    .arg(m_def.name));
        doc.m_rowsPerPage = perPage;
        doc.m_rowCount = rows.rowCount();

        double total = 0;
        for (const ReportColumn& c : m_def.columns)
            total += c.width;
        double x = m_left;
        doc.m_edges.push_back(x);
        for (const ReportColumn& c : m_def.columns) {
            x += (m_right - m_left) * c.width / total;
            doc.m_edges.push_back(x);
        }
        doc.m_edges.back() = m_right;

        m_date = m_def.showDate ? formatShortDate(printDate) : QString();
        const int pages = std::max(1, (doc.m_rowCount + perPage - 1) / perPage);
        doc.m_pages.reserve(size_t(pages));
        for (int p = 0; p < pages; ++p) {
            doc.m_pages.push_back(layoutPage(rows, p, pages));
            if (progress && !progress(p + 1, pages))
                return std::nullopt;
        }
        return std::move(m_doc);
    }

private:
    const QFontMetricsF& metrics(ReportDocument::FontRole role) const {
        return m_metrics[size_t(role)];
    }

    QString variable(const QString& name) const { return m_vars.value(name); }

    // Names, towns and postcodes repeat throughout an address book, and
    // measuring means shaping: each distinct text of a font is measured once.
    double advance(ReportDocument::FontRole role, const QString& text) {
        auto& known = m_widths[size_t(role)];
        auto it = known.constFind(text);
        if (it != known.constEnd())
            return *it;
        const double w = metrics(role).horizontalAdvance(text);
        if (known.size() < kMaxKnownWidths)
            known.insert(text, w);
        return w;
    }
    static constexpr qsizetype kMaxKnownWidths = 100000;

    // Places `text` on the base line at `x` inside `cell`, shortened to fit.
    void place(ReportDocument::Page& page, ReportDocument::FontRole role, const QString& text,
               double x, double baseLine, const QRectF& cell, Qt::Alignment align) {
        if (text.isEmpty())
            return;
        const QFontMetricsF& fm = metrics(role);
        const double room = std::max(0.0, cell.width() - 2 * kPadding);
        ReportDocument::Text t;
        t.font = role;
        t.cell = cell;
        t.text = text;
        double width = advance(role, text);
        if (width > room) {
            t.text = fm.elidedText(text, Qt::ElideRight, room);
            t.clip = true;
            if (t.text.isEmpty())
                return;
            width = fm.horizontalAdvance(t.text);
        }
        if (align & Qt::AlignRight)
            x = cell.right() - kPadding - width;
        else if (align & Qt::AlignHCenter)
            x = cell.center().x() - width / 2;
        t.origin = QPointF(x, baseLine);
        page.texts.push_back(std::move(t));
    }

    double baseLineInRow(double rowTop, ReportDocument::FontRole role) const {
        const QFontMetricsF& fm = metrics(role);
        return rowTop + (m_rowHeight - fm.ascent() - fm.descent()) / 2 + fm.ascent();
    }

    ReportDocument::Page layoutPage(const ReportRows& rows, int pageIndex, int pages) {
        ReportDocument::Page page;
        const auto& edges = m_doc.m_edges;
        const double width = m_right - m_left;

        // Heading on the left, print date on the right of the same base line.
        const QRectF head(m_left - kPadding,
                          m_headingBase - metrics(ReportDocument::Heading).ascent(),
                          width + 2 * kPadding, metrics(ReportDocument::Heading).height());
        double dateWidth = 0;
        if (!m_date.isEmpty()) {
            place(page, ReportDocument::Body, m_date, 0, m_headingBase, head, Qt::AlignRight);
            dateWidth = metrics(ReportDocument::Body).horizontalAdvance(m_date) + 20 * kUnit;
        }
        const QRectF headingCell(head.left(), head.top(), head.width() - dateWidth, head.height());
        place(page, ReportDocument::Heading, cellText(variable(m_def.headingVariable)), m_left,
              m_headingBase, headingCell, Qt::AlignLeft);

        // Column captions, ruled off from the rows.
        for (size_t c = 0; c < m_def.columns.size(); ++c) {
            const QRectF cell(edges[c], m_captionTop, edges[c + 1] - edges[c], m_rowHeight);
            place(page, ReportDocument::Caption, cellText(variable(m_def.columns[c].caption)),
                  cell.left() + kPadding, baseLineInRow(m_captionTop, ReportDocument::Caption),
                  cell, Qt::AlignLeft);
        }
        const double ruleY = m_captionTop + m_rowHeight + kRuleWidth / 2;
        page.rules.emplace_back(m_left, ruleY, m_right, ruleY);

        const int first = pageIndex * m_doc.m_rowsPerPage;
        const int last = std::min(m_doc.m_rowCount, first + m_doc.m_rowsPerPage);
        for (int row = first; row < last; ++row) {
            const double top = m_rowsTop + (row - first) * m_rowHeight;
            if (m_doc.m_shading.isValid() && row % 2 == 1)
                page.shading.emplace_back(m_left, top, width, m_rowHeight);
            const double base = baseLineInRow(top, ReportDocument::Body);
            for (size_t c = 0; c < m_def.columns.size(); ++c) {
                const QRectF cell(edges[c], top, edges[c + 1] - edges[c], m_rowHeight);
                place(page, ReportDocument::Body, cellText(rows.value(row, m_def.columns[c].field)),
                      cell.left() + kPadding, base, cell, Qt::AlignLeft);
            }
        }

        // "Seite n von m", centred under the table.
        QStringList parts;
        for (const QString& part :
             {variable(m_def.footerPageVariable), QString::number(pageIndex + 1),
              variable(m_def.footerOfVariable), QString::number(pages)}) {
            if (!part.trimmed().isEmpty())
                parts << cellText(part).trimmed();
        }
        const QFontMetricsF& fm = metrics(ReportDocument::Footer);
        const QRectF foot(m_left - kPadding, m_footerBase - fm.ascent(), width + 2 * kPadding,
                          fm.height());
        place(page, ReportDocument::Footer, parts.join(u' '), 0, m_footerBase, foot,
              Qt::AlignHCenter);
        return page;
    }

    const ReportDefinition& m_def;
    const ReportVariables& m_vars;
    ReportDocument m_doc;
    std::vector<QFontMetricsF> m_metrics;
    std::array<QHash<QString, double>, ReportDocument::FontRoleCount> m_widths;
    QString m_date;
    double m_left = 0;
    double m_right = 0;
    double m_rowHeight = 0;
    double m_headingBase = 0;
    double m_captionTop = 0;
    double m_rowsTop = 0;
    double m_footerBase = 0;
};

std::optional<ReportDocument> layoutReport(const ReportDefinition& def,
                                           const ReportVariables& variables, const ReportRows& rows,
                                           const LayoutProgress& progress, const QDate& printDate) {
    return ReportLayouter(def, variables).run(rows, progress, printDate);
}

void ReportDocument::drawPage(QPainter& painter, int index) const {
    const Page& p = page(index);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const QRectF& r : p.shading)
        painter.fillRect(r, m_shading);
    QPen rule(Qt::black);
    rule.setWidthF(kRuleWidth);
    painter.setPen(rule);
    for (const QLineF& l : p.rules)
        painter.drawLine(l);
    painter.setPen(Qt::black);
    int current = -1;
    for (const Text& t : p.texts) {
        if (t.font != current) {
            painter.setFont(m_fonts[t.font]);
            current = t.font;
        }
        if (t.clip) {
            // Shortened texts end at their cell's edge, whatever a fallback
            // font's glyphs do beyond their advance.
            painter.save();
            painter.setClipRect(t.cell, Qt::IntersectClip);
            painter.drawText(t.origin, t.text);
            painter.restore();
        } else {
            painter.drawText(t.origin, t.text);
        }
    }
    painter.restore();
}

void ReportDocument::drawPage(QPainter& painter, int index, const QRectF& target) const {
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(target.width() / m_paper.width(), target.height() / m_paper.height());
    drawPage(painter, index);
    painter.restore();
}

} // namespace kalvendo
