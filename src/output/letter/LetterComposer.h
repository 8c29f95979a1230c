#pragma once

#include "addressbook/Fields.h"
#include "common/Exception.h"
#include "output/letter/LetterDocument.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace kalvendo {

// The word processor could not be started; the message is the named string
// msgwordstart or msgoostart in the current language.
KALVENDO_DECLARE_EXCEPTION(EOleError, Exception)

// Everything the letter asks of the desktop, so tests see what would be
// started instead of starting a word processor.
struct LetterLauncher {
    // The program's full path when it is on the PATH, else empty.
    std::function<QString(const QString& name)> findProgram;
    // Starts a program detached; false when it could not be started.
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
    // Hands a file to the desktop's handler for its type; false when refused.
    std::function<bool(const QUrl& file)> openWithDesktop;
};

// The PATH look-up and detached start of the system; the desktop handler is
// the caller's (it needs Gui).
LetterLauncher systemLetterLauncher(std::function<bool(const QUrl&)> openWithDesktop);

// Writes the letter as "Brief.<suffix>" into a new private folder (mode 0700)
// below the temporary folder and returns its path. Folders of earlier letters
// older than a day are removed on the way. Throws EWriteError.
QString writeLetterFile(const FilledLetter& letter);

// Opens the written letter: Writer with LibreOffice ("soffice --writer -n",
// else "libreoffice --writer -n", else the desktop's handler), Word with the
// desktop's handler. Throws EOleError with `cannotStart` when nothing could be started.
void openLetter(const QString& file, LetterRoad road, const LetterLauncher& launcher,
                const QString& cannotStart);

// The letter button. Reads ab.ini now; office 0 is Word, 1 is Writer, any
// other value does nothing (returns an empty path). Otherwise fills the
// template below `applicationPath` with the sender, date, salutation, closing,
// bank line and `recipient` (the edit fields' current texts), writes the
// result and opens it; returns the written file. `namedString` gives the
// texts bank, blz, konto, msgwordstart and msgoostart in the current language.
// Throws ELetterTemplateError, EPackageError, EWriteError, EOleError.
QString composeLetter(const QString& applicationPath, const Record& recipient,
                      const std::function<QString(const QString& key)>& namedString,
                      const LetterLauncher& launcher, const QDate& today = QDate::currentDate());

} // namespace kalvendo
