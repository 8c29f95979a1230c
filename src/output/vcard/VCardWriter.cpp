#include "output/vcard/VCardWriter.h"

#include "common/LocaleFormat.h"
#include "output/vcard/VCardSyntax.h"

namespace kalvendo {

using vcard::escapeText;
using vcard::foldLine;

namespace {

// The locale's short format with single-digit day and month allowed, so that
// "1.2.1970" reads as well as "01.02.1970".
QString relaxedFormat(const QString& format) {
    QString f = format;
    f.replace(QStringLiteral("dd"), QStringLiteral("d"));
    f.replace(QStringLiteral("MM"), QStringLiteral("M"));
    return f;
}

class CardBuilder {
public:
    void add(const char* nameAndParams, const QString& escapedValue) {
        m_out += foldLine(QByteArray(nameAndParams) + ':' + escapedValue.toUtf8());
    }
    // A property holding one text value; skipped when the value is empty.
    void addText(const char* nameAndParams, const QString& value) {
        if (!value.isEmpty())
            add(nameAndParams, escapeText(value));
    }
    QByteArray take() { return std::move(m_out); }

private:
    QByteArray m_out;
};

} // namespace

QDate birthdayFromText(const QString& text, const QLocale& locale) {
    const QString t = text.trimmed();
    const QString widened = shortDateFormat(locale);
    for (const QString& format :
         {widened, relaxedFormat(widened), locale.dateFormat(QLocale::ShortFormat)}) {
        const QDate d = locale.toDate(t, format);
        if (d.isValid())
            return d;
    }
    throw EConvertError(QStringLiteral("'%1' ist kein gültiges Datum").arg(text));
}

QByteArray vcardFromRecord(const Record& r, const QLocale& locale) {
    // Converted first: a bad date must stop the card before anything is built.
    QString birthday;
    if (!r[fGeburtstag].trimmed().isEmpty())
        birthday = birthdayFromText(r[fGeburtstag], locale).toString(Qt::ISODate);

    CardBuilder card;
    card.add("BEGIN", QStringLiteral("VCARD"));
    card.add("VERSION", QStringLiteral("3.0"));
    card.add("N", escapeText(r[fName]) + u';' + escapeText(r[fVorname]) + QStringLiteral(";;;"));
    card.add("FN", escapeText(QStringList{r[fVorname], r[fName]}.join(u' ').trimmed()));

    const bool hasStreet = !r[fStrasse].isEmpty() || !r[fNr].isEmpty();
    if (hasStreet || !r[fPLZ].isEmpty() || !r[fWohnort].isEmpty() || !r[fLand].isEmpty()) {
        // The street line is street, one blank and number, as the contact
        // programs keep it; the region component stays empty.
        const QString street = hasStreet ? r[fStrasse] + u' ' + r[fNr] : QString();
        card.add("ADR;TYPE=HOME", QStringLiteral(";;") + escapeText(street) + u';' +
                                      escapeText(r[fWohnort]) + QStringLiteral(";;") +
                                      escapeText(r[fPLZ]) + u';' + escapeText(r[fLand]));
    }
    card.addText("TEL;TYPE=HOME,VOICE", r[fTelefon]);
    card.addText("TEL;TYPE=CELL", r[fMobil]);
    card.addText("TEL;TYPE=HOME,FAX", r[fFax]);
    card.addText("EMAIL;TYPE=INTERNET", r[fEmail]);
    card.addText("URL", r[fHomepage]);
    if (!birthday.isEmpty())
        card.add("BDAY", birthday);
    card.add("END", QStringLiteral("VCARD"));
    return card.take();
}

VCardFileWriter::VCardFileWriter(const QString& path, const QLocale& locale)
    : m_file(path), m_locale(locale) {}

void VCardFileWriter::add(const Record& record) {
    m_file.write(vcardFromRecord(record, m_locale));
    ++m_count;
}

void VCardFileWriter::commit() {
    m_file.commit();
}

void writeVCardFile(const QString& path, const std::vector<Record>& records,
                    const QLocale& locale) {
    VCardFileWriter writer(path, locale);
    for (const Record& r : records)
        writer.add(r);
    writer.commit();
}

} // namespace kalvendo
