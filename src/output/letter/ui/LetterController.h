#pragma once

#include "addressbook/Fields.h"
#include "output/letter/LetterComposer.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAbstractButton;

namespace kalvendo {

class TMultilanguage;

// The letter button of the main window: a letter to the shown address in the
// user's word processor.
class LetterController : public QObject {
    Q_OBJECT
public:
    // `applicationPath` ends in '/'. `shownRecord` gives the edit fields'
    // current texts (unsaved edits included) at each click; `lng` the named
    // strings. Without `launcher` the system's is used: LibreOffice from the
    // PATH started through startProgram, the desktop's handler through openExternal.
    LetterController(QString applicationPath, std::function<Record()> shownRecord,
                     const TMultilanguage* lng, LetterLauncher launcher = {},
                     QObject* parent = nullptr);

    // Wires the button (SpeedButton1) through the command guard and enables it.
    void connectButton(QAbstractButton* button);

    // Writes the letter and opens it; throws what composeLetter throws, for
    // the command guard to report. Returns the written file (empty when the
    // preferences choose no word processor).
    QString SpeedButton1Click();

private:
    QString m_applicationPath;
    std::function<Record()> m_shownRecord;
    QPointer<const TMultilanguage> m_lng;
    LetterLauncher m_launcher;
};

} // namespace kalvendo
