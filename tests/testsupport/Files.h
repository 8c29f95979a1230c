#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTest>

namespace kalvendo::test {

// The whole file; empty when it cannot be read.
inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Lays a file down for a test (set-up only: the program's own writes go
// through SaveFile). False when it cannot be written.
inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// writeBytes that fails the running test when the file cannot be written.
inline void putFile(const QString& path, const QByteArray& bytes) {
    QVERIFY2(writeBytes(path, bytes), qPrintable(path));
}

// A fixture file below tests/data.
inline QString testDataFile(const QString& name) {
    return QStringLiteral(KALVENDO_TEST_DATA "/") + name;
}

} // namespace kalvendo::test
