#include "settings/ui/DirectoryEdit.h"

#include "common/FileDialogs.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

namespace kalvendo {

DirectoryEdit::DirectoryEdit(QWidget* parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new QToolButton(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    m_button->setText(QStringLiteral("..."));
    m_button->setToolTip(QStringLiteral("Select Directory"));
    row->addWidget(m_edit, 1);
    row->addWidget(m_button);
    setFocusProxy(m_edit);
    connect(m_button, &QToolButton::clicked, this, &DirectoryEdit::browse);
}

QString DirectoryEdit::text() const {
    return m_edit->text();
}

void DirectoryEdit::setText(const QString& text) {
    m_edit->setText(text);
}

void DirectoryEdit::browse() {
    const QString caption = QStringLiteral("Select Directory");
    const QString start = m_edit->text();
    const QString chosen = chooseFolder(this, caption, start);
    if (!chosen.isEmpty())
        m_edit->setText(QDir::toNativeSeparators(chosen));
}

} // namespace kalvendo
