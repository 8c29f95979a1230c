#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Text rules shared by the vCard writer and reader.
namespace kalvendo::vcard {

// Longest physical line we write, in octets, without the CRLF.
inline constexpr int kFoldWidth = 75;

// A text value escaped for vCard 3.0: backslash, comma, semicolon and line
// breaks (CRLF, LF or CR each become "\n").
QString escapeText(const QString& text);

// One content line as UTF-8, folded so that no physical line exceeds
// kFoldWidth octets, ended with CRLF. A fold never splits a UTF-8 sequence or
// an escape pair.
QByteArray foldLine(const QByteArray& line);

// Splits a structured value at separators that are not escaped; the parts stay
// escaped.
QStringList splitUnescaped(const QString& value, QChar separator);

// Undoes the escapes of a text value. vCard 2.1 knows only "\;" (and writers
// add "\\"); 3.0 and 4.0 also "\,", "\:" and "\n". Unknown escapes stay as they are.
QString unescapeText(const QString& value, bool version21);

// Decodes quoted-printable; a malformed "=" sequence is kept as it stands.
QByteArray decodeQuotedPrintable(const QByteArray& bytes);

} // namespace kalvendo::vcard
