#pragma once

#include <QStatusBar>
#include <QVector>

class QHBoxLayout;
class QLabel;

namespace kalvendo {

// A status bar made of fixed panels, left to right; the last panel takes the remaining width.
// The language engine reaches the panels as "StatusBar1.Panels[i].Text".
class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBar(QWidget* parent = nullptr);

    // Adds a panel of the given width in pixels and returns its index.
    int addPanel(int width, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);

    int panelCount() const { return int(m_panels.size()); }
    // Both throw EListError for an index outside 0 .. panelCount() - 1.
    QString panelText(int index) const;
    void setPanelText(int index, const QString& text);
    QLabel* panel(int index) const;

private:
    void checkIndex(int index) const;

    QWidget* m_row;
    QHBoxLayout* m_layout;
    QVector<QLabel*> m_panels;
};

} // namespace kalvendo
