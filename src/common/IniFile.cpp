#include "common/IniFile.h"

#include "common/SaveFile.h"
#include "common/TextFile.h"

#include <QFile>
#include <QFileInfo>

#include <limits>
#include <optional>

namespace kalvendo {

namespace {

bool isSectionLine(const QString& trimmed) {
    return trimmed.startsWith(u'[');
}

QString sectionName(const QString& trimmed) {
    const qsizetype close = trimmed.indexOf(u']');
    return (close < 0 ? trimmed.mid(1) : trimmed.mid(1, close - 1)).trimmed();
}

// Index of the key's line in lines, within the section starting after sectionLine.
struct Location {
    qsizetype sectionLine = -1; // -1: section not found
    qsizetype keyLine = -1;     // -1: key not found in the section
    qsizetype sectionEnd = -1;  // index after the section's last non-empty line
};

Location locate(const QStringList& lines, const QString& section, const QString& key) {
    Location loc;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString t = lines.at(i).trimmed();
        if (isSectionLine(t)) {
            if (loc.sectionLine >= 0)
                break;
            if (sectionName(t).compare(section, Qt::CaseInsensitive) == 0) {
                loc.sectionLine = i;
                loc.sectionEnd = i + 1;
            }
            continue;
        }
        if (loc.sectionLine < 0)
            continue;
        if (!t.isEmpty())
            loc.sectionEnd = i + 1;
        if (t.isEmpty() || t.startsWith(u';'))
            continue;
        const qsizetype eq = t.indexOf(u'=');
        if (eq < 0)
            continue;
        if (loc.keyLine < 0 && t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            loc.keyLine = i;
    }
    return loc;
}

std::optional<QString> valueOf(const QStringList& lines, const QString& section,
                               const QString& key) {
    const Location loc = locate(lines, section, key);
    if (loc.keyLine < 0)
        return std::nullopt;
    const QString& line = lines.at(loc.keyLine);
    return line.mid(line.indexOf(u'=') + 1).trimmed();
}

} // namespace

IniFile::IniFile(QString path) : m_path(std::move(path)) {}

QStringList IniFile::load() const {
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return splitLines(decodeText(f.readAll()));
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
    const auto v = valueOf(load(), section, key);
    if (!v)
        return def;
    return v->left(kMaxValueLength);
}

bool IniFile::parseInteger(const QString& text, int* value) {
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong v = 0;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ||
        t.startsWith(QLatin1String("-0x"), Qt::CaseInsensitive)) {
        const bool neg = t.startsWith(u'-');
        v = t.mid(neg ? 3 : 2).toLongLong(&ok, 16);
        if (neg)
            v = -v;
    } else {
        v = t.toLongLong(&ok, 10);
    }
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return false;
    *value = static_cast<int>(v);
    return true;
}

int IniFile::readInteger(const QString& section, const QString& key, int def) const {
    const auto v = valueOf(load(), section, key);
    int result = def;
    if (!v || !parseInteger(v->left(kMaxValueLength), &result))
        return def;
    return result;
}

bool IniFile::readBool(const QString& section, const QString& key, bool def) const {
    return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::sectionExists(const QString& section) const {
    return locate(load(), section, QString()).sectionLine >= 0;
}

bool IniFile::valueExists(const QString& section, const QString& key) const {
    return valueOf(load(), section, key).has_value();
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    QStringList lines = load();
    const Location loc = locate(lines, section, key);
    // A value is one line: a line break in it (text pasted into an edit) would
    // start lines of its own in the file, even keys and sections.
    const QString entry = key + u'=' + withoutControlChars(value);
    if (loc.keyLine >= 0) {
        lines[loc.keyLine] = entry;
    } else if (loc.sectionLine >= 0) {
        lines.insert(loc.sectionEnd, entry);
    } else {
        if (!lines.isEmpty() && !lines.constLast().trimmed().isEmpty())
            lines.append(QString());
        lines.append(u'[' + section + u']');
        lines.append(entry);
    }

    // A file marked read-only refuses the write, even for a user (root) whom the
    // file system would let replace it.
    const QFileInfo info(m_path);
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        throw EIniFileException(QStringLiteral("In %1 kann nicht geschrieben werden").arg(m_path));

    QByteArray data;
    for (const QString& l : std::as_const(lines)) {
        data += l.toUtf8();
        data += "\r\n";
    }
    try {
        writeFileAtomically(m_path, data);
    } catch (const EWriteError& e) {
        throw EIniFileException(e.message());
    }
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

} // namespace kalvendo
