#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace kalvendo {

// Text as the program's files hold it: UTF-8, or Windows-1252 for legacy lines
// that are not valid UTF-8. Each line is judged on its own, since files edited
// by hand often mix both; line breaks are kept as they stand. A UTF-8 byte
// order mark is dropped.
QString decodeText(const QByteArray& bytes);

// The Windows-1252 reading of bytes (undefined code points map to U+FFFD).
QString decodeWindows1252(QByteArrayView bytes);

// Text from outside (caller numbers and names from the ISDN driver or the
// network, names out of records) made safe for one line of a file or the
// status bar: every run of control characters (C0, DEL, C1), line and
// paragraph separators and bidirectional embeddings, overrides and isolates
// becomes one blank, so the text can neither start a new line nor turn the
// rest of a line around.
QString withoutControlChars(QStringView text);

// Splits text into lines at CRLF, LF or CR; a final line break adds no empty line.
QStringList splitLines(const QString& text);

// Reads a whole text file into lines. Throws EInOutError when it cannot be read.
QStringList readTextLines(const QString& path);

// Writes lines, each followed by CRLF, as UTF-8 through a temporary file that
// replaces the target only when complete. Throws EInOutError on failure.
void writeTextLines(const QString& path, const QStringList& lines);

// Appends one line followed by CRLF; a missing file is created. Throws
// EInOutError on failure, with `failure` as its message (%1 the file, %2 the
// reason) when given.
void appendTextLine(const QString& path, const QString& line, const QString& failure = {});

} // namespace kalvendo
