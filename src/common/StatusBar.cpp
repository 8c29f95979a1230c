#include "common/StatusBar.h"

#include "common/Exception.h"

#include <QHBoxLayout>
#include <QLabel>

namespace kalvendo {

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent), m_row(new QWidget(this)) {
    m_layout = new QHBoxLayout(m_row);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(2);
    addWidget(m_row, 1);
    setSizeGripEnabled(true);
}

int TStatusBar::addPanel(int width, Qt::Alignment alignment) {
    auto* label = new QLabel(m_row);
    label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    label->setAlignment(alignment);
    // The previous last panel gives up the remaining width to the new one.
    if (!m_panels.isEmpty()) {
        m_panels.last()->setFixedWidth(m_panels.last()->minimumWidth());
        m_layout->setStretch(int(m_panels.size()) - 1, 0);
    }
    label->setMinimumWidth(width);
    m_layout->addWidget(label, 1);
    m_panels.append(label);
    return int(m_panels.size()) - 1;
}

void TStatusBar::checkIndex(int index) const {
    if (index < 0 || index >= m_panels.size())
        throw EListError(QStringLiteral("Listenindex überschreitet das Maximum (%1)").arg(index));
}

QString TStatusBar::panelText(int index) const {
    checkIndex(index);
    return m_panels.at(index)->text();
}

void TStatusBar::setPanelText(int index, const QString& text) {
    checkIndex(index);
    m_panels.at(index)->setText(text);
}

QLabel* TStatusBar::panel(int index) const {
    checkIndex(index);
    return m_panels.at(index);
}

} // namespace kalvendo
