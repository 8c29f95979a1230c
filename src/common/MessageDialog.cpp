#include "common/MessageDialog.h"

#include "common/TestHook.h"

#include <QMessageBox>
#include <QPushButton>

namespace kalvendo {

void setDialogAnswerer(DialogAnswerer a) {
    testHook<DialogAnswerer>() = std::move(a);
}

QString dialogTitle(DialogKind kind) {
    switch (kind) {
    case DialogKind::Warning:
        return QStringLiteral("Warnung");
    case DialogKind::Error:
        return QStringLiteral("Fehler");
    case DialogKind::Information:
        return QStringLiteral("Informationen");
    case DialogKind::Confirmation:
        return QStringLiteral("Bestätigen");
    }
    return {};
}

DialogResult messageDlg(const QString& text, DialogKind kind, DialogButtons buttons,
                        QWidget* parent) {
    if (const auto& answer = testHook<DialogAnswerer>())
        return answer(ShownDialog{text, kind, buttons});

    QMessageBox box(parent);
    box.setWindowTitle(dialogTitle(kind));
    box.setText(text);
    switch (kind) {
    case DialogKind::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case DialogKind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case DialogKind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case DialogKind::Confirmation:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (buttons == DialogButtons::YesNo) {
        QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes ? DialogResult::Yes : DialogResult::No;
    }
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    if (buttons == DialogButtons::OkCancel) {
        // Closing the box is Cancel, never OK.
        QPushButton* cancel = box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
        box.exec();
        return box.clickedButton() == ok ? DialogResult::Ok : DialogResult::Cancel;
    }
    box.setEscapeButton(ok);
    box.exec();
    return DialogResult::Ok;
}

} // namespace kalvendo
