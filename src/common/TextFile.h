#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kalvendo {

// Text as the program's files hold it: UTF-8, or Windows-1252 for legacy files
// that are not valid UTF-8. A UTF-8 byte order mark is dropped.
QString decodeText(const QByteArray& bytes);

// The Windows-1252 reading of bytes (undefined code points map to U+FFFD).
QString decodeWindows1252(const QByteArray& bytes);

// Splits text into lines at CRLF, LF or CR; a final line break adds no empty line.
QStringList splitLines(const QString& text);

// Reads a whole text file into lines. Throws EInOutError when it cannot be read.
QStringList readTextLines(const QString& path);

// Writes lines, each followed by CRLF, as UTF-8 through a temporary file that
// replaces the target only when complete. Throws EInOutError on failure.
void writeTextLines(const QString& path, const QStringList& lines);

// Appends one line followed by CRLF. Throws EInOutError on failure.
void appendTextLine(const QString& path, const QString& line);

} // namespace kalvendo
