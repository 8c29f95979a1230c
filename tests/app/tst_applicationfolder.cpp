#include "app/ApplicationFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;

class TestApplicationFolder : public QObject {
    Q_OBJECT

    QTemporaryDir m_exe;
    QTemporaryDir m_xdg;

    void writeMainIni(const QByteArray& content) {
        QFile f(m_exe.filePath(QStringLiteral("main.ini")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_xdg.path().toUtf8()); }
    void init() { QFile::remove(m_exe.filePath(QStringLiteral("main.ini"))); }

    void typeSelectsFolder_data() {
        QTest::addColumn<QByteArray>("mainIni"); // empty: no file
        QTest::addColumn<QString>("expected");   // "exe", "shared" or a literal path
        QTest::newRow("no main.ini") << QByteArray() << QStringLiteral("exe");
        QTest::newRow("type 0") << QByteArray("[app]\r\ntype=0\r\n") << QStringLiteral("exe");
        QTest::newRow("type 1") << QByteArray("[APP]\r\nType=1\r\n") << QStringLiteral("shared");
        QTest::newRow("not a number") << QByteArray("[app]\r\ntype=x\r\n") << QStringLiteral("exe");
        QTest::newRow("type 7") << QByteArray("[app]\r\ntype=7\r\n") << QStringLiteral("/");
    }
    void typeSelectsFolder() {
        QFETCH(QByteArray, mainIni);
        QFETCH(QString, expected);
        if (!mainIni.isEmpty())
            writeMainIni(mainIni);
        if (expected == QStringLiteral("exe"))
            expected = m_exe.path() + u'/';
        else if (expected == QStringLiteral("shared"))
            expected = m_xdg.path() + QStringLiteral("/KTW/qvd/");
        QCOMPARE(getApplicationPath(m_exe.path()), expected);
    }

    void appDirOverridesMainIni() {
        writeMainIni("[app]\r\ntype=1\r\n");
        QTemporaryDir other;
        QCOMPARE(getApplicationPath(m_exe.path(), other.path()), other.path() + u'/');
        // A relative folder is made absolute.
        QCOMPARE(getApplicationPath(m_exe.path(), QStringLiteral("rel")),
                 QDir::current().absoluteFilePath(QStringLiteral("rel")) + u'/');
    }

    void seedingCopiesOnlyMissingFolders() {
        QTemporaryDir defaults;
        QDir(defaults.path()).mkpath(QStringLiteral("daten"));
        QDir(defaults.path()).mkpath(QStringLiteral("vorlagen"));
        QFile seed(defaults.filePath(QStringLiteral("daten/group.txt")));
        QVERIFY(seed.open(QIODevice::WriteOnly));
        seed.write("Familie\r\n");
        seed.close();

        QTemporaryDir app;
        const QString target = app.path() + QStringLiteral("/KTW/qvd/");
        QVERIFY(seedApplicationFolder(target, defaults.path() + u'/'));
        QVERIFY(QFile::exists(target + QStringLiteral("daten/group.txt")));
        QVERIFY(QDir(target + QStringLiteral("vorlagen")).exists());

        // Existing data is never overwritten.
        QFile own(target + QStringLiteral("daten/group.txt"));
        QVERIFY(own.open(QIODevice::WriteOnly | QIODevice::Truncate));
        own.write("Meine\r\n");
        own.close();
        QVERIFY(!seedApplicationFolder(target, defaults.path() + u'/'));
        QVERIFY(own.open(QIODevice::ReadOnly));
        QCOMPARE(own.readAll(), QByteArray("Meine\r\n"));
    }
};

QTEST_GUILESS_MAIN(TestApplicationFolder)
#include "tst_applicationfolder.moc"
