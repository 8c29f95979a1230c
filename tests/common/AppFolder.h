#pragma once

#include "addressbook/AddressStore.h"
#include "addressbook/Fields.h"

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
        QFile f(dataFile(name));
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            QFAIL("cannot write fixture file");
        f.write(bytes);
    }
    QByteArray read(const QString& name) const {
        QFile f(dataFile(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    struct Person {
        const char* name;
        const char* firstName;
        const char* group;
    };
    // Adds records straight to the table files (before the program opens them).
    void addRecords(std::initializer_list<Person> people) const {
        AddressStore store;
        store.open(data());
        for (const Person& p : people) {
            Record r;
            r[fName] = QString::fromUtf8(p.name);
            r[fVorname] = QString::fromUtf8(p.firstName);
            r[fGruppe] = QString::fromUtf8(p.group);
            store.insertRecord(r);
        }
    }

    // Adds one record with the given fields set, the rest empty.
    void addRecord(std::initializer_list<std::pair<int, const char*>> fields) const {
        Record r;
        for (const auto& [pos, value] : fields)
            r[size_t(pos)] = QString::fromUtf8(value);
        AddressStore store;
        store.open(data());
        store.insertRecord(r);
    }

private:
    QTemporaryDir m_dir;
};

} // namespace kalvendo::test
