#pragma once

#include "common/Exception.h"

#include <QString>
#include <QStringList>

namespace kalvendo {

KALVENDO_DECLARE_EXCEPTION(EIniFileException, Exception)

// An INI file opened for one operation. Every read looks at the file as it is
// on disk now; every write lands on disk at once (through a temporary file, so
// a crash never leaves a half-written file). Section and key names ignore case.
class IniFile {
public:
    explicit IniFile(QString path);

    const QString& fileName() const { return m_path; }

    QString readString(const QString& section, const QString& key, const QString& def) const;
    int readInteger(const QString& section, const QString& key, int def) const;
    bool readBool(const QString& section, const QString& key, bool def) const;

    // Line breaks inside a value are written as blanks.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);

    bool sectionExists(const QString& section) const;
    bool valueExists(const QString& section, const QString& key) const;

    // Longest string a read returns; longer values are cut.
    static constexpr int kMaxValueLength = 2047;

    // Integer syntax of the file: decimal, or hexadecimal after "0x".
    static bool parseInteger(const QString& text, int* value);

private:
    QStringList load() const;

    QString m_path;
};

} // namespace kalvendo
