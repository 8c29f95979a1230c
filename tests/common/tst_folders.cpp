#include "common/Folders.h"
#include "testsupport/FullDisk.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <filesystem>

using namespace kalvendo;

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray randomBytes(int size) {
    QByteArray b(size, Qt::Uninitialized);
    QRandomGenerator gen(42);
    for (char& c : b)
        c = char(gen.bounded(256));
    return b;
}

// Relative path -> "d" for folders, "l:target" for links, a hash of the
// contents for files,
// "special" for pipes and the like (never opened: that could block).
QMap<QString, QByteArray> tree(const QString& root) {
    QMap<QString, QByteArray> out;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString rel = QDir(root).relativeFilePath(path);
        if (info.isSymLink())
            out[rel] =
                "l:" +
                QByteArray::fromStdString(
                    std::filesystem::read_symlink(QFile::encodeName(path).toStdString()).string());
        else if (info.isDir())
            out[rel] = "d";
        else if (!info.isFile())
            out[rel] = "special";
        else
            out[rel] = QCryptographicHash::hash(readBytes(path), QCryptographicHash::Sha1).toHex();
    }
    return out;
}

struct Report {
    qint64 done, total;
};

// The reports must start at 0, never go back, keep one total and end at it.
QString checkReports(const QList<Report>& reports, qint64 expectedTotal) {
    if (reports.isEmpty())
        return QStringLiteral("no progress reported");
    if (reports.first().done != 0)
        return QStringLiteral("first report is not 0");
    qint64 last = -1;
    for (const Report& r : reports) {
        if (r.total != expectedTotal)
            return QStringLiteral("total %1, expected %2").arg(r.total).arg(expectedTotal);
        if (r.done < last || r.done > r.total)
            return QStringLiteral("done %1 after %2 of %3").arg(r.done).arg(last).arg(r.total);
        last = r.done;
    }
    if (last != expectedTotal)
        return QStringLiteral("ends at %1 of %2").arg(last).arg(expectedTotal);
    return QString();
}

} // namespace

class TestFolders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void copiesTreeWithTimesPermissionsAndLinks() {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("src"));
        QVERIFY(QDir().mkpath(src + QStringLiteral("/sub/deeper")));
        QVERIFY(QDir().mkpath(src + QStringLiteral("/empty")));
        const QByteArray big = randomBytes(3 * 1024 * 1024 + 17); // several pieces
        QVERIFY(writeBytes(src + QStringLiteral("/a.txt"), "alpha"));
        QVERIFY(writeBytes(src + QStringLiteral("/.hidden"), "h"));
        QVERIFY(writeBytes(src + QStringLiteral("/sub/big.bin"), big));
        QVERIFY(writeBytes(src + QStringLiteral("/sub/deeper/ümlaut ä.txt"), "u"));
        QVERIFY(QFile::link(QStringLiteral("a.txt"), src + QStringLiteral("/link")));
        // A pipe has nothing to keep; opening it for reading would block forever.
        QCOMPARE(::mkfifo(QFile::encodeName(src + QStringLiteral("/pipe")).constData(), 0600), 0);

        const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6));
        {
            QFile f(src + QStringLiteral("/sub/big.bin"));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        QVERIFY(QFile::setPermissions(src + QStringLiteral("/a.txt"),
                                      QFileDevice::ReadOwner | QFileDevice::ReadGroup));

        const QString target = dir.filePath(QStringLiteral("copy"));
        QList<Report> reports;
        QString error;
        QVERIFY2(copyFolder(src, target, &error,
                            [&](qint64 d, qint64 t) {
                                reports.append({d, t});
                            }),
                 qPrintable(error));

        QMap<QString, QByteArray> expected = tree(src);
        expected.remove(QStringLiteral("pipe"));
        QCOMPARE(tree(target), expected);
        QCOMPARE(QFileInfo(target + QStringLiteral("/sub/big.bin")).lastModified(), old);
        QCOMPARE(QFileInfo(target + QStringLiteral("/a.txt")).permissions(),
                 QFileInfo(src + QStringLiteral("/a.txt")).permissions());
        const QString check = checkReports(reports, 5 + 1 + big.size() + 1);
        QVERIFY2(check.isEmpty(), qPrintable(check));
        QVERIFY(reports.size() > 3); // the big file reports piece by piece
    }

    void existingTargetKeepsOtherFilesAndTakesNewOnes() {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("src"));
        const QString target = dir.filePath(QStringLiteral("target"));
        QVERIFY(QDir().mkpath(src) && QDir().mkpath(target));
        QVERIFY(writeBytes(src + QStringLiteral("/same.txt"), "new"));
        QVERIFY(writeBytes(target + QStringLiteral("/same.txt"), "old and longer"));
        QVERIFY(writeBytes(target + QStringLiteral("/other.txt"), "keep"));
        QVERIFY(copyFolder(src, target));
        QCOMPARE(readBytes(target + QStringLiteral("/same.txt")), QByteArray("new"));
        QCOMPARE(readBytes(target + QStringLiteral("/other.txt")), QByteArray("keep"));
    }

    void filterLeavesOut() {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("src"));
        QVERIFY(QDir().mkpath(src + QStringLiteral("/skipdir")));
        QVERIFY(writeBytes(src + QStringLiteral("/keep.txt"), "k"));
        QVERIFY(writeBytes(src + QStringLiteral("/skip.txt"), "s"));
        QVERIFY(writeBytes(src + QStringLiteral("/skipdir/inner.txt"), "i"));
        const QString target = dir.filePath(QStringLiteral("t"));
        QVERIFY(copyFolder(src, target, nullptr, {}, [](const QString& rel) {
            return rel == u"skip.txt" || rel == u"skipdir";
        }));
        QCOMPARE(tree(target).keys(), QStringList{QStringLiteral("keep.txt")});
    }

    void missingSourceFailsWithoutTarget() {
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("nothing"));
        const QString target = dir.filePath(QStringLiteral("t"));
        QString error;
        QVERIFY(!copyFolder(src, target, &error));
        QVERIFY2(error.contains(src), qPrintable(error));
        QVERIFY(!QFileInfo::exists(target));
    }

    // A file that does not fit is not left behind half written.
    void fullDiskFailsWithReasonAndNoCutFile() {
        test::FullDisk disk(256);
        if (!disk.available())
            QSKIP("mounting a small tmpfs needs root");
        QTemporaryDir dir;
        const QString src = dir.filePath(QStringLiteral("src"));
        QVERIFY(QDir().mkpath(src));
        QVERIFY(writeBytes(src + QStringLiteral("/a.bin"), randomBytes(64 * 1024)));
        QVERIFY(writeBytes(src + QStringLiteral("/b.bin"), randomBytes(1024 * 1024)));
        const QString target = disk.file(QStringLiteral("copy"));
        QString error;
        QVERIFY(!copyFolder(src, target, &error));
        QVERIFY2(error.contains(QStringLiteral("b.bin")), qPrintable(error));
        QCOMPARE(readBytes(target + QStringLiteral("/a.bin")).size(), 64 * 1024);
        QCOMPARE(QDir(target).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("a.bin")});
    }

    void deleteRemovesTreeButNotWhatLinksPointTo() {
        QTemporaryDir dir;
        const QString outside = dir.filePath(QStringLiteral("outside"));
        QVERIFY(QDir().mkpath(outside));
        QVERIFY(writeBytes(outside + QStringLiteral("/precious.txt"), "keep me"));
        const QString victim = dir.filePath(QStringLiteral("victim"));
        QVERIFY(QDir().mkpath(victim + QStringLiteral("/sub")));
        QVERIFY(writeBytes(victim + QStringLiteral("/sub/a.txt"), "12345"));
        QVERIFY(writeBytes(victim + QStringLiteral("/ro.txt"), "123"));
        QVERIFY(QFile::setPermissions(victim + QStringLiteral("/ro.txt"), QFileDevice::ReadOwner));
        QVERIFY(QFile::link(outside, victim + QStringLiteral("/linkdir")));

        QList<Report> reports;
        QString error;
        QVERIFY2(deleteFolder(victim, &error,
                              [&](qint64 d, qint64 t) {
                                  reports.append({d, t});
                              }),
                 qPrintable(error));
        QVERIFY(!QFileInfo::exists(victim));
        QCOMPARE(readBytes(outside + QStringLiteral("/precious.txt")), QByteArray("keep me"));
        const QString check = checkReports(reports, 8);
        QVERIFY2(check.isEmpty(), qPrintable(check));

        // A single file is removed too; nothing there is a failure.
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("single")), "x"));
        QVERIFY(deleteFolder(dir.filePath(QStringLiteral("single"))));
        QVERIFY(!deleteFolder(victim, &error));
        QVERIFY2(error.contains(victim), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestFolders)
#include "tst_folders.moc"
