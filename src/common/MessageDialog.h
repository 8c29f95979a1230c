#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace kalvendo {

// Message dialogs keep the German titles and buttons of the desktop library in
// every interface language; only the text is translated by the caller.
enum class DialogKind { Warning, Error, Information, Confirmation };

enum class DialogButtons { Ok, YesNo, OkCancel };

enum class DialogResult { Ok, Yes, No, Cancel };

// Shows a modal message dialog and returns the button chosen.
DialogResult messageDlg(const QString& text, DialogKind kind, DialogButtons buttons,
                        QWidget* parent = nullptr);

// The dialog title of a kind: "Warnung", "Fehler", "Informationen", "Bestätigen".
QString dialogTitle(DialogKind kind);

// Tests answer dialogs through this hook instead of a window; it receives what
// the dialog would show. An empty function restores the real dialogs.
struct ShownDialog {
    QString text;
    DialogKind kind;
    DialogButtons buttons;
};
using DialogAnswerer = std::function<DialogResult(const ShownDialog&)>;
void setDialogAnswerer(DialogAnswerer answerer);

} // namespace kalvendo
