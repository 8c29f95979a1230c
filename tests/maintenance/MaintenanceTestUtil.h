#pragma once

// Fixtures for backup, restore and packing: an application folder whose
// backup folder is set, folder snapshots and the independent cabinet readers.

#include "addressbook/StoreTestUtil.h"
#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "settings/Preferences.h"
#include "testsupport/AppFolder.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>

namespace kalvendo::test {

inline void setBackupFolder(const AppFolder& app, const QString& folder) {
    IniFile ab(AppPaths(app.path()).preferences());
    writePref(ab, prefs::key::dbpath, folder);
}

// Relative path -> hash of the contents ("d" for folders), hidden files included.
inline QMap<QString, QByteArray> snapshot(const QString& root) {
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        out[rel] =
            QFileInfo(path).isDir()
                ? QByteArray("d")
                : QCryptographicHash::hash(readBytes(path), QCryptographicHash::Sha1).toHex();
    }
    return out;
}

// The records of a table's files, read independently of the store, after
// checking both files (integrity, shared stamp, every index exact).
inline QStringList namesIn(const QString& folder, QString* problem = nullptr) {
    std::map<qint64, Record> records;
    const QString check = verifyFiles(folder, &records);
    if (problem)
        *problem = check;
    QStringList names;
    for (const auto& [id, r] : records)
        names << r[fName];
    names.sort();
    return names;
}

// Runs an independent reader; empty result with `missing` set when the
// program is not installed.
struct ToolRun {
    bool missing = false;
    int exitCode = -1;
    QString out;
};
inline ToolRun runTool(const QString& program, const QStringList& args) {
    ToolRun run;
    const QString exe = QStandardPaths::findExecutable(program);
    if (exe.isEmpty()) {
        run.missing = true;
        return run;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // Names are shown as UTF-8 whatever locales this machine has.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(exe, args);
    if (!p.waitForFinished(60000))
        return run;
    run.exitCode = p.exitCode();
    run.out = QString::fromUtf8(p.readAll());
    return run;
}

// Names as `gcab -t` lists them, in the cabinet's order.
inline QStringList gcabNames(const QString& cab, bool* missing) {
    const ToolRun r = runTool(QStringLiteral("gcab"), {QStringLiteral("-t"), cab});
    *missing = r.missing;
    return r.out.split(u'\n', Qt::SkipEmptyParts);
}

// The compression of the cabinet's first folder and the header's set id.
struct CabHeader {
    int typeCompress = -1;
    int setId = -1;
    int folders = -1;
};
inline CabHeader cabHeader(const QString& cab) {
    const QByteArray b = readBytes(cab);
    CabHeader h;
    if (b.size() < 44 || !b.startsWith("MSCF"))
        return h;
    const auto u16 = [&](int at) { return quint8(b[at]) | (quint8(b[at + 1]) << 8); };
    h.folders = u16(26);
    h.setId = u16(32);
    h.typeCompress = u16(36 + 6);
    return h;
}

} // namespace kalvendo::test
