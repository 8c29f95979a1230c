#pragma once

// Shared by the export and import tests: an application folder with an open
// table, files written and read as bytes, and Python as an independent reader.

#include "addressbook/AddressStore.h"
#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "testsupport/AppFolder.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <vector>

namespace kalvendo::test {

inline QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A record with the first values set in field order.
inline Record rec(std::initializer_list<const char*> values) {
    Record r;
    int i = 0;
    for (const char* v : values)
        r[static_cast<size_t>(i++)] = QString::fromUtf8(v);
    return r;
}

struct TableFixture {
    AppFolder folder;
    AddressTable table;

    explicit TableFixture(const std::vector<Record>& records = {}) {
        if (!records.empty()) {
            AddressStore store;
            store.open(folder.data());
            store.insertRecords(records);
        }
        table.connectFolder(folder.data());
        table.open();
    }
    QString file(const QString& name) const { return folder.path() + name; }

    // The records in the current order, all seventeen fields.
    std::vector<Record> shown() const {
        std::vector<Record> out;
        for (int row = 0; row < table.rowCount(); ++row) {
            Record r;
            for (int f = 0; f < kFieldCount; ++f)
                r[static_cast<size_t>(f)] = table.value(row, f);
            out.push_back(r);
        }
        return out;
    }
};

// Runs a Python script with arguments; empty when Python is missing (the
// caller skips), else its standard output. A failing script fails the test.
inline std::optional<QByteArray> python(const QString& script, const QStringList& args = {}) {
    const QString exe = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (exe.isEmpty())
        return std::nullopt;
    QProcess p;
    p.start(exe, QStringList{QStringLiteral("-c"), script} + args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        qWarning("python: %s", p.readAllStandardError().constData());
        return QByteArray("<python failed>");
    }
    return p.readAllStandardOutput();
}

} // namespace kalvendo::test
