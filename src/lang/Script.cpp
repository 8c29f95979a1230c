#include "lang/Script.h"

namespace kalvendo {

QString trimScript(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin).toString();
}

QString foldAsciiLower(QStringView text) {
    QString out = text.toString();
    for (QChar& c : out) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return out;
}

ScriptEntry parseScriptLine(QStringView line) {
    const QString trimmed = trimScript(line);
    const qsizetype eq = trimmed.indexOf(u'=');
    if (eq < 0)
        return {QString(), trimmed};
    ScriptEntry entry{trimScript(QStringView(trimmed).left(eq)),
                      trimScript(QStringView(trimmed).mid(eq + 1))};
    QString& v = entry.value;
    if (v.startsWith(u'\'') && v.endsWith(u'\''))
        v = v.size() >= 2 ? v.mid(1, v.size() - 2) : QString();
    v.replace(QStringLiteral("\\n"), QStringLiteral("\r\n"));
    return entry;
}

QString sectionName(QStringView trimmedLine) {
    if (!trimmedLine.startsWith(u'['))
        return QString();
    const qsizetype close = trimmedLine.indexOf(u']');
    if (close < 0)
        return QStringLiteral("");
    return trimmedLine.mid(1, close - 1).toString();
}

QStringList selectLanguageLines(const QStringList& script, const QString& language) {
    QStringList selected;
    const QString wanted = foldAsciiLower(language);
    QString current; // before the first section line
    for (const QString& raw : script) {
        const QString line = trimScript(raw);
        if (line.isEmpty())
            continue;
        if (line.startsWith(u'[')) {
            current = foldAsciiLower(sectionName(line));
        } else if (!line.startsWith(u';') && current == wanted) {
            selected.append(line);
        }
    }
    return selected;
}

QString lookUpString(const QStringList& selectedLines, QStringView key) {
    // An empty key would only find lines without "=", which no look-up may find.
    if (key.isEmpty())
        return QString();
    for (const QString& line : selectedLines) {
        ScriptEntry entry = parseScriptLine(line);
        if (entry.key == key)
            return entry.value;
    }
    return QString();
}

void ListLanguages(const QStringList& script, QStringList& list) {
    for (const QString& raw : script) {
        const QString name = sectionName(trimScript(raw));
        if (name.isNull())
            continue;
        if (!list.contains(name, Qt::CaseInsensitive))
            list.append(name);
    }
}

} // namespace kalvendo
