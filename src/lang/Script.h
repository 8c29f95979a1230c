#pragma once

#include <QString>
#include <QStringList>

// The language script format: sections "[Name]", comments ";", entries "key = 'value'".
// Plain Qt Core, so everything here is testable without windows.
namespace kalvendo {

// Removes leading and trailing characters with codes up to 32 (not Unicode white space in
// general: a no-break space inside a value is text).
QString trimScript(QStringView text);

// Lower case of A-Z only; other letters stay as written, as section names are compared.
QString foldAsciiLower(QStringView text);

struct ScriptEntry {
    QString key;   // empty for a line without "="
    QString value; // unquoted, "\n" turned into CR LF
};

// Splits one entry line at its first "=". A line without "=" has an empty key and its whole
// text as value.
ScriptEntry parseScriptLine(QStringView line);

// The name of a section line "[Name]": the text up to the first "]", empty without one.
// Returns a null string for a line that is not a section line.
QString sectionName(QStringView trimmedLine);

// The trimmed, non-comment lines of the section named language (A-Z folded). Lines before the
// first section line form the section with the empty name.
QStringList selectLanguageLines(const QStringList& script, const QString& language);

// The value of the first selected line whose key equals key exactly; empty when none does.
QString lookUpString(const QStringList& selectedLines, QStringView key);

// Appends the script's section names in order of first appearance, as written, leaving out
// names already in list (compared without regard to case).
void ListLanguages(const QStringList& script, QStringList& list);

} // namespace kalvendo
