#pragma once

#include "addressbook/Fields.h"
#include "common/Exception.h"
#include "common/SaveFile.h"

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>

#include <vector>

namespace kalvendo {

// A birthday text that is not a date in the short date format.
KALVENDO_DECLARE_EXCEPTION(EConvertError, Exception)

// The birthday text as a date, read with the short date format (the widened one
// first, then the locale's own). Throws EConvertError.
QDate birthdayFromText(const QString& text, const QLocale& locale = QLocale::system());

// One contact as a vCard 3.0 (UTF-8, CRLF, folded at 75 octets): N and FN
// always; ADR (home), the three telephone numbers, EMAIL, URL and BDAY only when
// they have a value. Definierbar, Gruppe and the prepared numbers are not part of
// a contact. Throws EConvertError for a birthday that is not a date.
QByteArray vcardFromRecord(const Record& record, const QLocale& locale = QLocale::system());

// Writes cards one after the other into one .vcf file, which replaces `path`
// only at commit(); without commit() the file stays as it was.
class VCardFileWriter {
public:
    // Throws EWriteError when the file cannot be created.
    explicit VCardFileWriter(const QString& path, const QLocale& locale = QLocale::system());

    // Throws EConvertError (nothing of that card is written) or EWriteError.
    void add(const Record& record);
    int count() const { return m_count; }
    // Throws EWriteError; the target is unchanged then.
    void commit();

private:
    SaveFile m_file;
    QLocale m_locale;
    int m_count = 0;
};

// The records as one .vcf file. Throws EConvertError or EWriteError; either way
// `path` is left as it was.
void writeVCardFile(const QString& path, const std::vector<Record>& records,
                    const QLocale& locale = QLocale::system());

} // namespace kalvendo
