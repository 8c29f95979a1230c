// One Kalvendo per application folder: a second window start brings the
// running window to the front, a crashed instance does not block the next one.
#include "ProgramRun.h"
#include "app/InstanceGuard.h"
#include "testsupport/AppFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace kalvendo;
using namespace kalvendo::test;

class TestInstanceGuard : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void oneKeyPerFolder() {
        AppFolder folder;
        AppFolder other;
        const QString key = InstanceGuard::serverName(folder.path());
        QTemporaryDir links;
        const QString link = links.filePath(QStringLiteral("link"));
        QVERIFY(QFile::link(folder.path().chopped(1), link));
        QCOMPARE(InstanceGuard::serverName(folder.path().chopped(1)), key);
        QCOMPARE(InstanceGuard::serverName(folder.path() + QStringLiteral("daten/..")), key);
        QCOMPARE(InstanceGuard::serverName(link + u'/'), key);
        QVERIFY(InstanceGuard::serverName(other.path()) != key);

        InstanceGuard first(folder.path());
        InstanceGuard second(other.path());
        QCOMPARE(first.claim(InstanceGuard::Role::Window), InstanceGuard::Holder::None);
        QCOMPARE(second.claim(InstanceGuard::Role::Window), InstanceGuard::Holder::None);
        QCOMPARE(InstanceGuard::holderOf(link), InstanceGuard::Holder::Window);
        QCOMPARE(InstanceGuard::holderOf(other.path()), InstanceGuard::Holder::Window);
    }

    // The program's second start finds the running window and leaves.
    void secondStartActivatesTheRunningWindow() {
        AppFolder folder;
        InstanceGuard running(folder.path());
        QCOMPARE(running.claim(InstanceGuard::Role::Window), InstanceGuard::Holder::None);
        QSignalSpy activations(&running, &InstanceGuard::activationRequested);
        const ProgramResult r = runProgram({QStringLiteral("--appdir"), folder.path().chopped(1)},
                                           offscreenEnvironment());
        QVERIFY(r.finished);
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY2(!r.err.contains(QStringLiteral("kalvendo:")), qPrintable(r.err));
        QCOMPARE(r.code, 0);
        QTRY_COMPARE(activations.count(), 1);
        // Asking who holds the folder does not activate anything.
        QCOMPARE(InstanceGuard::holderOf(folder.path()), InstanceGuard::Holder::Window);
        QCoreApplication::processEvents();
        QCOMPARE(activations.count(), 1);
    }

    void windowStartRefused_data() {
        QTest::addColumn<bool>("answering");
        QTest::addColumn<QString>("message");
        QTest::newRow("operation running")
            << true
            << QStringLiteral("kalvendo: another Kalvendo operation is running on the "
                              "application folder %1.\n");
        QTest::newRow("holder does not answer")
            << false
            << QStringLiteral("kalvendo: a running Kalvendo holds the application folder %1 "
                              "but does not answer.\n");
    }
    void windowStartRefused() {
        QFETCH(bool, answering);
        QFETCH(QString, message);
        AppFolder folder;
        InstanceGuard operation(folder.path());
        // A listener that accepts connections but never replies: this thread
        // is blocked while the program runs.
        QLocalServer silent;
        if (answering)
            QCOMPARE(operation.claim(InstanceGuard::Role::Batch), InstanceGuard::Holder::None);
        else
            QVERIFY(silent.listen(InstanceGuard::serverName(folder.path())));
        const ProgramResult r =
            runProgram({QStringLiteral("--appdir"), folder.path()}, offscreenEnvironment());
        QVERIFY(r.finished);
        QCOMPARE(r.status, QProcess::NormalExit);
        QVERIFY2(r.err.endsWith(message.arg(folder.path())), qPrintable(r.err));
        QCOMPARE(r.code, 1);
    }

    // Two real programs; the first is then killed and leaves its socket file
    // behind, which must not keep the next start off.
    void runningProgramComesToFrontAndACrashDoesNotBlock() {
        AppFolder folder;
        QProcessEnvironment env = offscreenEnvironment();
        env.insert(QStringLiteral("QT_LOGGING_RULES"),
                   QStringLiteral("kalvendo.instance.info=true"));
        QProcess first;
        startProgram(first, {QStringLiteral("--appdir"), folder.path()}, env);
        QTRY_COMPARE_WITH_TIMEOUT(InstanceGuard::holderOf(folder.path()),
                                  InstanceGuard::Holder::Window, 60000);

        const ProgramResult second =
            runProgram({QStringLiteral("--appdir"), folder.path()}, offscreenEnvironment());
        QVERIFY(second.finished);
        QCOMPARE(second.code, 0);
        QByteArray firstErr;
        QTRY_VERIFY_WITH_TIMEOUT(
            (firstErr += first.readAllStandardError()).contains("brought the window to the front"),
            10000);
        QCOMPARE(first.state(), QProcess::Running);

        first.kill();
        QVERIFY(first.waitForFinished());
        const QString socketFile = InstanceGuard::serverName(folder.path());
        QVERIFY(QFileInfo::exists(socketFile));
        QCOMPARE(InstanceGuard::holderOf(folder.path()), InstanceGuard::Holder::None);

        QProcess third;
        startProgram(third, {QStringLiteral("--appdir"), folder.path()}, env);
        QTRY_COMPARE_WITH_TIMEOUT(InstanceGuard::holderOf(folder.path()),
                                  InstanceGuard::Holder::Window, 60000);
        QCOMPARE(third.state(), QProcess::Running);
        third.kill();
        QVERIFY(third.waitForFinished());
        QLocalServer::removeServer(socketFile);
    }
};

QTEST_GUILESS_MAIN(TestInstanceGuard)
#include "tst_instanceguard.moc"
