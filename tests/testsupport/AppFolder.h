#pragma once

#include "testsupport/Files.h"
#include "testsupport/Records.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <initializer_list>
#include <utility>

namespace kalvendo::test {

// A fresh application folder for one test: the shipped defaults (ab.ini,
// group.txt, log.txt) and an empty table in daten/.
class AppFolder {
public:
    AppFolder() {
        namespace fs = std::filesystem;
        fs::copy(fs::path(KALVENDO_DEFAULTS) / "daten", fs::path(data().toStdString()),
                 fs::copy_options::recursive);
        AddressStore::createTable(data());
    }

    // The application folder, ending in '/'.
    QString path() const { return m_dir.path() + u'/'; }
    QString data() const { return m_dir.path() + QStringLiteral("/daten"); }
    QString dataFile(const QString& name) const { return data() + u'/' + name; }

    void write(const QString& name, const QByteArray& bytes) const {
        putFile(dataFile(name), bytes);
    }
    QByteArray read(const QString& name) const { return readBytes(dataFile(name)); }

    struct Person {
        const char* name;
        const char* firstName;
        const char* group;
    };
    // Adds records straight to the table files (before the program opens them).
    void addRecords(std::initializer_list<Person> people) const {
        std::vector<Record> records;
        for (const Person& p : people)
            records.push_back(
                record({{fName, p.name}, {fVorname, p.firstName}, {fGruppe, p.group}}));
        insertRecords(data(), records);
    }

    // Adds one record with the given fields set, the rest empty.
    void addRecord(std::initializer_list<std::pair<int, const char*>> fields) const {
        insertRecords(data(), {record(fields)});
    }

private:
    QTemporaryDir m_dir;
};

} // namespace kalvendo::test
