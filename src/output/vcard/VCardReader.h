#pragma once

#include "addressbook/Fields.h"
#include "common/Exception.h"

#include <QByteArray>
#include <QFile>
#include <QLocale>
#include <QString>

#include <optional>

namespace kalvendo {

// A file with content but not a single card in it.
KALVENDO_DECLARE_EXCEPTION(EVCardError, EInOutError)

// Reads the contacts of a .vcf file (vCard 2.1, 3.0 or 4.0) one record at a
// time, so that files of any size take little memory.
//
// Each card becomes one record: N (else FN) as name and first name; ADR, the
// home one first, else the first, with its street line split into street and
// house number; TEL by type (home or voice: Telefon, cell: Mobil, fax: Fax);
// EMAIL; URL; BDAY in the short date format; the first of the CATEGORIES as
// Gruppe. Every value is cut to its field's width; what has no field is dropped.
// The prepared numbers are left empty.
//
// A card with a line that is not a property, or one without anything to import,
// is skipped and counted. A card without END ends at the next BEGIN or at the
// end of the file and is read like any other.
class VCardReader {
public:
    // Throws EInOutError when the file cannot be opened.
    explicit VCardReader(const QString& path, const QLocale& locale = QLocale::system());
    ~VCardReader();
    VCardReader(const VCardReader&) = delete;
    VCardReader& operator=(const VCardReader&) = delete;

    // The next contact, or nothing at the end of the file. Throws EVCardError
    // for a file that holds text but no card, EInOutError when reading fails.
    std::optional<Record> next();

    // Cards skipped so far.
    int skippedCount() const { return m_skipped; }

    // For progress: bytes read so far and the size of the file.
    qint64 position() const;
    qint64 size() const;

private:
    struct Card;
    struct Property;

    bool readPhysicalLine(QByteArray& line);
    bool readLogicalLine(QByteArray& line);
    bool parseProperty(const QByteArray& line, Property& p) const;
    QString decodeValue(const Property& p) const;
    void apply(const Property& p, Card& card) const;
    Record finish(const Card& card) const;

    QString m_path;
    QFile m_file;
    QLocale m_locale;
    QByteArray m_pending;
    bool m_havePending = false;
    bool m_atStart = true;
    bool m_beginPending = false;
    bool m_sawCard = false;
    bool m_sawText = false;
    int m_skipped = 0;
};

} // namespace kalvendo
