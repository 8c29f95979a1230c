#include "output/vcard/VCardReader.h"

#include "common/LocaleFormat.h"
#include "common/TextFile.h"
#include "output/vcard/VCardSyntax.h"
#include "output/vcard/VCardWriter.h"

#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <climits>

namespace kalvendo {

using vcard::splitUnescaped;
using vcard::unescapeText;

namespace {

// A physical line is read in pieces of this size; a logical line keeps at most
// kMaxLogicalLine bytes. Longer lines are photos or sounds, which we drop anyway,
// and cutting them keeps a hostile file from taking all memory.
constexpr qint64 kReadChunk = 64 * 1024;
constexpr qsizetype kMaxLogicalLine = 256 * 1024;

void appendCapped(QByteArray& line, const QByteArray& more) {
    const qsizetype room = kMaxLogicalLine - line.size();
    if (room > 0)
        line.append(more.constData(), std::min(room, more.size()));
}

// Splits at `separator` outside double quotes.
QList<QByteArray> splitOutsideQuotes(const QByteArray& text, char separator) {
    QList<QByteArray> parts;
    QByteArray current;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == separator && !quoted) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

qsizetype valueColon(const QByteArray& line) {
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char c = line.at(i);
        if (c == '"')
            quoted = !quoted;
        else if (c == ':' && !quoted)
            return i;
    }
    return -1;
}

bool isValidName(const QByteArray& name) {
    if (name.isEmpty())
        return false;
    for (const char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool isBeginLine(const QByteArray& line) {
    return line.trimmed().toUpper() == "BEGIN:VCARD";
}

QString unquote(QByteArray value) {
    value = value.trimmed();
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        value = value.mid(1, value.size() - 2);
    return QString::fromUtf8(value);
}

// Single-line fields: the lines of a value joined with a comma.
QString singleLine(const QString& text) {
    QStringList lines = splitLines(text);
    for (QString& l : lines)
        l = l.trimmed();
    lines.removeAll(QString());
    return lines.join(QStringLiteral(", "));
}

QString stripPrefix(const QString& value, const QString& prefix) {
    return value.startsWith(prefix, Qt::CaseInsensitive) ? value.mid(prefix.size()) : value;
}

QString decodeCharset(const QByteArray& bytes, const QByteArray& charset) {
    const QByteArray cs = charset.trimmed().toUpper();
    if (cs.isEmpty())
        return decodeText(bytes);
    if (cs == "UTF-8" || cs == "UTF8") {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(bytes);
        return utf8.hasError() ? decodeWindows1252(bytes) : text;
    }
    // Windows programs label their code page as Latin-1 more often than not.
    if (cs == "WINDOWS-1252" || cs == "CP1252" || cs == "ISO-8859-1" || cs == "LATIN1" ||
        cs == "US-ASCII" || cs == "ASCII")
        return decodeWindows1252(bytes);
    QStringDecoder other(cs.constData());
    if (other.isValid()) {
        QString text = other.decode(bytes);
        if (!other.hasError())
            return text;
    }
    return decodeText(bytes);
}

// "Hauptstraße 12a" -> "Hauptstraße" and "12a"; a street without a trailing
// number stays whole.
std::pair<QString, QString> splitStreet(const QString& street) {
    static const QRegularExpression re(QStringLiteral("^(.*\\S)\\s+(\\d\\S*)$"));
    const QRegularExpressionMatch m = re.match(street);
    if (m.hasMatch() && m.capturedLength(2) <= fieldWidth(fNr))
        return {m.captured(1), m.captured(2)};
    return {street, QString()};
}

} // namespace

struct VCardReader::Property {
    QByteArray name; // upper case, without its group
    QSet<QString> types;
    QByteArray encoding;
    QByteArray charset;
    QString omitYear;
    bool pref = false;
    QByteArray value;

    bool is(const char* type) const { return types.contains(QLatin1String(type)); }
};

struct VCardReader::Card {
    // Lower score wins; the first of equal scores stays.
    struct Pick {
        int score = INT_MAX;
        QStringList parts;
        void offer(int s, QStringList p) {
            if (s < score) {
                score = s;
                parts = std::move(p);
            }
        }
        QString value() const { return parts.value(0); }
    };

    bool version21 = false;
    bool damaged = false;
    QString family;
    QString given;
    QString formatted;
    Pick adr;
    Pick tel;
    Pick cell;
    Pick fax;
    Pick email;
    Pick url;
    QString birthday;
    QString group;
};

VCardReader::VCardReader(const QString& path, const QLocale& locale)
    : m_path(path), m_file(path), m_locale(locale) {
    if (!m_file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Datei %1 kann nicht gelesen werden: %2")
                              .arg(path, m_file.errorString()));
}

VCardReader::~VCardReader() = default;

qint64 VCardReader::position() const {
    return m_file.pos();
}

qint64 VCardReader::size() const {
    return m_file.size();
}

bool VCardReader::readPhysicalLine(QByteArray& line) {
    line = m_file.readLine(kReadChunk);
    if (line.isEmpty()) {
        if (m_file.error() != QFileDevice::NoError)
            throw EInOutError(QStringLiteral("Datei %1 kann nicht gelesen werden: %2")
                                  .arg(m_path, m_file.errorString()));
        return false;
    }
    if (!line.endsWith('\n')) {
        // Longer than a chunk: the rest of the line is dropped.
        for (QByteArray rest = line; !rest.isEmpty() && !rest.endsWith('\n');)
            rest = m_file.readLine(kReadChunk);
    }
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (m_atStart) {
        m_atStart = false;
        if (line.startsWith("\xEF\xBB\xBF"))
            line.remove(0, 3);
    }
    return true;
}

bool VCardReader::readLogicalLine(QByteArray& line) {
    if (m_havePending) {
        line = std::move(m_pending);
        m_havePending = false;
    } else if (!readPhysicalLine(line)) {
        return false;
    }
    const qsizetype colon = valueColon(line);
    const QByteArray head = (colon < 0 ? QByteArray() : line.left(colon)).toUpper();
    const bool qp = head.contains("QUOTED-PRINTABLE");
    const bool base64 = head.contains("BASE64") || head.contains("ENCODING=B");

    QByteArray next;
    while (readPhysicalLine(next)) {
        const bool folded = next.startsWith(' ') || next.startsWith('\t');
        // Quoted-printable breaks lines with a trailing "=" and no indent.
        const bool softBreak = qp && line.endsWith('=');
        if (softBreak)
            line.chop(1);
        if (folded) {
            appendCapped(line, next.mid(1));
        } else if (softBreak) {
            appendCapped(line, next);
        } else if (base64 && !next.isEmpty() && !next.contains(':')) {
            // vCard 2.1 writers do not always indent the lines of a photo.
            appendCapped(line, next);
        } else {
            m_pending = std::move(next);
            m_havePending = true;
            break;
        }
    }
    return true;
}

bool VCardReader::parseProperty(const QByteArray& line, Property& p) const {
    const qsizetype colon = valueColon(line);
    if (colon <= 0)
        return false;
    const QList<QByteArray> head = splitOutsideQuotes(line.left(colon), ';');
    QByteArray name = head.first().trimmed();
    name = name.mid(name.lastIndexOf('.') + 1); // item1.TEL
    if (!isValidName(name))
        return false;
    p.name = name.toUpper();
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArray param = head.at(i).trimmed();
        if (param.isEmpty())
            continue;
        const qsizetype eq = param.indexOf('=');
        if (eq < 0) {
            // vCard 2.1 names types and encodings without a key.
            const QByteArray upper = param.toUpper();
            if (upper == "QUOTED-PRINTABLE" || upper == "BASE64" || upper == "8BIT" ||
                upper == "7BIT")
                p.encoding = upper;
            else
                p.types.insert(QString::fromLatin1(upper));
            continue;
        }
        const QByteArray key = param.left(eq).trimmed().toUpper();
        const QByteArray value = param.mid(eq + 1);
        if (key == "TYPE") {
            for (const QByteArray& t : splitOutsideQuotes(value, ','))
                for (const QString& part : unquote(t).split(u','))
                    p.types.insert(part.trimmed().toUpper());
        } else if (key == "ENCODING") {
            p.encoding = unquote(value).toUpper().toLatin1();
        } else if (key == "CHARSET") {
            p.charset = unquote(value).toLatin1();
        } else if (key == "PREF") {
            p.pref = true;
        } else if (key == "X-APPLE-OMIT-YEAR") {
            p.omitYear = unquote(value);
        }
    }
    if (p.is("PREF"))
        p.pref = true;
    p.value = line.mid(colon + 1);
    return true;
}

QString VCardReader::decodeValue(const Property& p) const {
    QByteArray bytes = p.value;
    if (p.encoding == "QUOTED-PRINTABLE")
        bytes = vcard::decodeQuotedPrintable(bytes);
    else if (p.encoding == "B" || p.encoding == "BASE64")
        bytes = QByteArray::fromBase64(bytes);
    return decodeCharset(bytes, p.charset);
}

void VCardReader::apply(const Property& p, Card& card) const {
    const QByteArray& n = p.name;
    const bool known = n == "VERSION" || n == "N" || n == "FN" || n == "ADR" || n == "TEL" ||
                       n == "EMAIL" || n == "URL" || n == "BDAY" || n == "CATEGORIES";
    if (!known)
        return;
    const QString text = decodeValue(p);
    const bool v21 = card.version21;
    const auto plain = [&](const QString& v) { return singleLine(unescapeText(v, v21)); };
    const int pref = p.pref ? 0 : 1;

    if (n == "VERSION") {
        card.version21 = text.trimmed().startsWith(QStringLiteral("2."));
    } else if (n == "N") {
        const QStringList parts = splitUnescaped(text, u';');
        card.family = plain(parts.value(0));
        card.given = plain(parts.value(1));
    } else if (n == "FN") {
        card.formatted = plain(text);
    } else if (n == "ADR") {
        QStringList parts;
        for (const QString& part : splitUnescaped(text, u';'))
            parts << plain(part);
        card.adr.offer((p.is("HOME") ? 0 : 2) + pref, parts);
    } else if (n == "TEL") {
        const QString number = stripPrefix(plain(text), QStringLiteral("tel:")).trimmed();
        if (number.isEmpty())
            return;
        const int home = p.is("HOME") ? 0 : 2;
        if (p.is("FAX")) {
            card.fax.offer(home + pref, {number});
        } else if (p.is("CELL") || p.is("MOBILE") || p.is("IPHONE")) {
            card.cell.offer(pref, {number});
        } else if (!p.is("PAGER") && !p.is("MODEM") && !p.is("BBS") && !p.is("TEXTPHONE")) {
            // RFC 2426 makes an untyped number a voice number; work numbers
            // only when there is no other.
            const int rank = p.is("HOME") ? 0 : p.is("WORK") ? 4 : 2;
            card.tel.offer(rank + pref, {number});
        }
    } else if (n == "EMAIL") {
        const QString address = stripPrefix(plain(text), QStringLiteral("mailto:")).trimmed();
        if (!address.isEmpty())
            card.email.offer(pref, {address});
    } else if (n == "URL") {
        const QString address = plain(text).trimmed();
        if (!address.isEmpty())
            card.url.offer(pref, {address});
    } else if (n == "BDAY") {
        if (!card.birthday.isEmpty())
            return;
        static const QRegularExpression iso(
            QStringLiteral("^(\\d{4})-?(\\d{2})-?(\\d{2})(?:T.*)?$"));
        const QString value = plain(text);
        const QRegularExpressionMatch m = iso.match(value);
        QDate date;
        if (m.hasMatch()) {
            // Apple marks a birthday without year with a placeholder year.
            if (!p.omitYear.isEmpty() && p.omitYear == m.captured(1))
                return;
            date = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        } else if (!value.startsWith(QStringLiteral("--"))) {
            try {
                date = birthdayFromText(value, m_locale);
            } catch (const EConvertError&) {
                return; // a birthday we cannot read is dropped, not the contact
            }
        }
        if (date.isValid())
            card.birthday = formatShortDate(date, m_locale);
    } else if (n == "CATEGORIES") {
        if (!card.group.isEmpty())
            return;
        QStringList categories = splitUnescaped(text, u',');
        if (v21)
            categories = splitUnescaped(categories.value(0), u';');
        card.group = plain(categories.value(0)).trimmed();
    }
}

Record VCardReader::finish(const Card& card) const {
    Record r;
    if (!card.family.isEmpty() || !card.given.isEmpty()) {
        r[fName] = card.family;
        r[fVorname] = card.given;
    } else {
        // Without a structured name (a company, a bare list entry) the whole
        // display name is the name.
        r[fName] = card.formatted;
    }
    const QStringList& adr = card.adr.parts;
    std::tie(r[fStrasse], r[fNr]) = splitStreet(adr.value(2).trimmed());
    r[fPLZ] = adr.value(5).trimmed();
    r[fWohnort] = adr.value(3).trimmed();
    r[fLand] = adr.value(6).trimmed();
    r[fTelefon] = card.tel.value();
    r[fMobil] = card.cell.value();
    r[fFax] = card.fax.value();
    r[fEmail] = card.email.value();
    r[fHomepage] = card.url.value();
    r[fGeburtstag] = card.birthday;
    r[fGruppe] = card.group;
    for (int i = 0; i < kFieldCount; ++i)
        r[i] = fitToField(i, r[i].trimmed());
    return r;
}

std::optional<Record> VCardReader::next() {
    QByteArray line;
    for (;;) {
        if (!m_beginPending) {
            bool found = false;
            while (readLogicalLine(line)) {
                if (isBeginLine(line)) {
                    found = true;
                    break;
                }
                if (!line.trimmed().isEmpty())
                    m_sawText = true;
            }
            if (!found) {
                if (!m_sawCard && m_sawText)
                    throw EVCardError(QStringLiteral("Datei %1 enthält keine vCard").arg(m_path));
                return std::nullopt;
            }
        }
        m_beginPending = false;
        m_sawCard = true;

        Card card;
        while (readLogicalLine(line)) {
            if (line.trimmed().isEmpty())
                continue;
            if (isBeginLine(line)) {
                m_beginPending = true; // the card before had no END
                break;
            }
            Property p;
            if (!parseProperty(line, p)) {
                card.damaged = true;
                continue;
            }
            if (p.name == "END")
                break;
            apply(p, card);
        }
        if (!card.damaged) {
            Record r = finish(card);
            if (std::any_of(r.begin(), r.end(), [](const QString& v) { return !v.isEmpty(); }))
                return r;
        }
        ++m_skipped;
    }
}

} // namespace kalvendo
