#include "output/vcard/VCardSyntax.h"

namespace kalvendo::vcard {

namespace {

// Octets of the UTF-8 sequence that starts at `lead` (1 for a stray byte).
int utf8Length(unsigned char lead) {
    if (lead >= 0xF0 && lead < 0xF8)
        return 4;
    if (lead >= 0xE0)
        return lead < 0xF0 ? 3 : 1;
    if (lead >= 0xC0)
        return 2;
    return 1;
}

// The octets that must stay on one physical line: one character, or a
// backslash together with the character it escapes.
int unitLength(const QByteArray& line, qsizetype at) {
    const auto lead = static_cast<unsigned char>(line.at(at));
    qsizetype n = lead == '\\' && at + 1 < line.size()
                      ? 1 + utf8Length(static_cast<unsigned char>(line.at(at + 1)))
                      : utf8Length(lead);
    return int(std::min(n, line.size() - at));
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

QString escapeText(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case u'\\':
        case u',':
        case u';':
            out += u'\\';
            out += c;
            break;
        case u'\r':
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            out += QStringLiteral("\\n");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray foldLine(const QByteArray& line) {
    QByteArray out;
    out.reserve(line.size() + line.size() / kFoldWidth * 3 + 2);
    int used = 0;
    for (qsizetype i = 0; i < line.size();) {
        const int unit = unitLength(line, i);
        if (used + unit > kFoldWidth) {
            out += "\r\n ";
            used = 1;
        }
        out.append(line.constData() + i, unit);
        used += unit;
        i += unit;
    }
    out += "\r\n";
    return out;
}

QStringList splitUnescaped(const QString& value, QChar separator) {
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            current += c;
            current += value.at(++i);
        } else if (c == separator) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

QString unescapeText(const QString& value, bool version21) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(i + 1);
        if (next == u';' || next == u'\\') {
            out += next;
            ++i;
        } else if (version21) {
            out += c;
        } else if (next == u',' || next == u':') {
            out += next;
            ++i;
        } else if (next == u'n' || next == u'N') {
            out += u'\n';
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray decodeQuotedPrintable(const QByteArray& bytes) {
    QByteArray out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '=' && i + 2 < bytes.size()) {
            const int hi = hexValue(bytes.at(i + 1));
            const int lo = hexValue(bytes.at(i + 2));
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

} // namespace kalvendo::vcard
