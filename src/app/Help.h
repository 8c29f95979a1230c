#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

namespace kalvendo {

// Where users reach the makers.
QString supportMailAddress();

// The help pages shipped in the application folder: help/index.html.
QUrl helpFileUrl(const QString& applicationPath);
// Opens the help in the system browser (Hilfe2Click). A help file that cannot
// be opened is not reported.
void openHelp(const QString& applicationPath);

// The mail link of the error log: subject "Fehlerprotokoll", the log lines as
// body, each followed by CRLF, percent-encoded. A log too long for a mail link
// is cut from the front, so the newest errors are sent.
QUrl errorLogMailUrl(const QStringList& logLines);
// Reads daten/log.txt and opens a new mail with it (Errorlogsenden1Click).
// Throws EInOutError when the log cannot be read.
void mailErrorLog(const QString& applicationPath);

} // namespace kalvendo
