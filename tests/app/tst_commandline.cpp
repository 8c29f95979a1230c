// The program's arguments: what runs without a display, what --help offers and
// how a batch operation reports success and failure.
#include "ProgramRun.h"
#include "app/BatchOperations.h"
#include "app/CommandLine.h"
#include "app/InstanceGuard.h"
#include "common/Exception.h"
#include "testsupport/AppFolder.h"

#include <QSignalSpy>
#include <QTest>
#include <QTextStream>

#include <stdexcept>
#include <vector>

using namespace kalvendo;
using namespace kalvendo::test;

namespace kalvendo {
KALVENDO_DECLARE_EXCEPTION(ETestBatchFailure, Exception)
} // namespace kalvendo

Q_DECLARE_METATYPE(kalvendo::CommandLine::Action)
Q_DECLARE_METATYPE(kalvendo::InstanceGuard::Role)

namespace {

struct OperationName {
    BatchOperation operation;
    const char* option;
};
const OperationName kOperations[] = {
    {BatchOperation::Export, "--export"}, {BatchOperation::Import, "--import"},
    {BatchOperation::Backup, "--backup"}, {BatchOperation::Restore, "--restore"},
    {BatchOperation::Pack, "--pack"},
};

// Records every batch call; `fail` decides what a call throws.
struct Calls {
    std::vector<std::pair<BatchOperation, BatchContext>> seen;
    std::function<void()> fail;
};

BatchRegistry registryOf(Calls& calls, std::initializer_list<BatchOperation> operations) {
    BatchRegistry registry;
    for (BatchOperation op : operations)
        registry.add(op, [&calls, op](const BatchContext& context) {
            calls.seen.emplace_back(op, context);
            if (calls.fail)
                calls.fail();
        });
    return registry;
}

struct Outcome {
    int code;
    QString out;
    QString err;
};

Outcome runInProcess(const BatchRegistry& registry, const QStringList& arguments) {
    CommandLine commandLine(registry);
    commandLine.parse(QStringList{QStringLiteral("kalvendo")} + arguments);
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int code = runWithoutWindow(commandLine, registry, QStringLiteral("/opt/kalvendo/bin"),
                                      outStream, errStream);
    return {code, out, err};
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The shipped program, started with no display at all.
    void withoutDisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString version = QStringLiteral("kalvendo " KALVENDO_VERSION "\n");
        QTest::newRow("version") << QStringList{QStringLiteral("--version")} << 0 << version
                                 << QString();
        QTest::newRow("short version")
            << QStringList{QStringLiteral("-v")} << 0 << version << QString();
        QTest::newRow("version with Qt's own options")
            << QStringList{QStringLiteral("-platform"), QStringLiteral("xcb"),
                           QStringLiteral("-style=fusion"), QStringLiteral("--version")}
            << 0 << version << QString();
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")} << 2 << QString()
                                        << QStringLiteral("kalvendo: Unknown option 'bogus'.\n");
        QTest::newRow("stray argument")
            << QStringList{QStringLiteral("--appdir"), QStringLiteral("/tmp"),
                           QStringLiteral("extra")}
            << 2 << QString() << QStringLiteral("kalvendo: Unexpected argument 'extra'.\n");
        QTest::newRow("appdir without folder")
            << QStringList{QStringLiteral("--appdir")} << 2 << QString()
            << QStringLiteral("kalvendo: Missing value after '--appdir'.\n");
        // An operation that this build cannot run yet is not pretended.
        const BatchRegistry shipped = shippedBatchOperations();
        for (const OperationName& o : kOperations) {
            if (shipped.find(o.operation))
                continue;
            const QString name = QLatin1String(o.option).mid(2);
            QTest::addRow("%s not offered", o.option)
                << QStringList{QLatin1String(o.option), QStringLiteral("x")} << 2 << QString()
                << QStringLiteral("kalvendo: Unknown option '%1'.\n").arg(name);
        }
    }
    void withoutDisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        const ProgramResult r = runProgram(arguments, environmentWithoutDisplay());
        QVERIFY(r.finished);
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.err, err);
        QCOMPARE(r.out, out);
        QCOMPARE(r.code, code);
    }

    void capiInfoNeedsNoDisplay() {
        const ProgramResult r =
            runProgram({QStringLiteral("--capi-info")}, environmentWithoutDisplay());
        QVERIFY(r.finished);
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("CAPI")), qPrintable(r.out));
    }

    // --help names every option that works, each with its description, and
    // no operation this build cannot run.
    void helpListsWhatWorks() {
        const ProgramResult r = runProgram({QStringLiteral("--help")}, environmentWithoutDisplay());
        QVERIFY(r.finished);
        QCOMPARE(r.code, 0);
        QVERIFY(r.err.isEmpty());
        for (const char* option : {"--help", "--version", "--appdir <DIR>", "--capi-info"})
            QVERIFY2(r.out.contains(QLatin1String(option)), option);
        const BatchRegistry shipped = shippedBatchOperations();
        for (const OperationName& o : kOperations)
            QCOMPARE(r.out.contains(QLatin1String(o.option)), shipped.find(o.operation) != nullptr);
        for (const QString& line : r.out.split(u'\n')) {
            if (line.startsWith(QStringLiteral("  -")))
                QVERIFY2(line.trimmed().contains(QStringLiteral("  ")), qPrintable(line));
        }
    }

    void helpOffersRegisteredOperations() {
        Calls calls;
        const BatchRegistry registry =
            registryOf(calls, {BatchOperation::Export, BatchOperation::Backup});
        const Outcome o = runInProcess(registry, {QStringLiteral("--help")});
        QCOMPARE(o.code, 0);
        for (const char* offered : {"--export <FILE>", "--report <N>", "--backup", "[DIR]"})
            QVERIFY2(o.out.contains(QLatin1String(offered)), offered);
        for (const char* absent : {"--import", "--restore", "--pack"})
            QVERIFY2(!o.out.contains(QLatin1String(absent)), absent);
        QVERIFY(calls.seen.empty());
    }

    void parse_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<QString>("detail"); // the error, or the operation's argument
        QTest::addColumn<int>("report");     // -1: none
        using A = CommandLine::Action;
        const auto args = [](std::initializer_list<const char*> list) {
            QStringList l;
            for (const char* a : list)
                l << QString::fromUtf8(a);
            return l;
        };
        QTest::newRow("no arguments") << args({}) << A::Window << QString() << -1;
        QTest::newRow("Qt's own options")
            << args({"-style", "fusion", "--platform", "xcb", "-reverse", "--appdir", "/a"})
            << A::Window << QString() << -1;
        QTest::newRow("backup into the settings' folder")
            << args({"--appdir", "/a", "--backup"}) << A::Batch << QString() << -1;
        QTest::newRow("backup into a given folder")
            << args({"--backup", "/b"}) << A::Batch << QStringLiteral("/b") << -1;
        QTest::newRow("backup with two folders")
            << args({"--backup", "/b", "/c"}) << A::Error
            << QStringLiteral("Unexpected argument '/c'.") << -1;
        QTest::newRow("export with a report") << args({"--export", "a.pdf", "--report", "3"})
                                              << A::Batch << QStringLiteral("a.pdf") << 3;
        QTest::newRow("report out of range")
            << args({"--export", "a.pdf", "--report", "4"}) << A::Error
            << QStringLiteral("--report needs a report number from 0 to 3, not '4'.") << -1;
        QTest::newRow("report not a number")
            << args({"--export", "a.pdf", "--report", "x"}) << A::Error
            << QStringLiteral("--report needs a report number from 0 to 3, not 'x'.") << -1;
        QTest::newRow("report alone")
            << args({"--report", "1"}) << A::Error
            << QStringLiteral("--report is only used with --export.") << -1;
        QTest::newRow("export without a name")
            << args({"--export", ""}) << A::Error << QStringLiteral("--export needs FILE.") << -1;
        QTest::newRow("two operations")
            << args({"--export", "a.csv", "--backup"}) << A::Error
            << QStringLiteral("--export, --backup: only one of these can run at a time.") << -1;
        QTest::newRow("diagnostics and an operation")
            << args({"--backup", "--capi-info"}) << A::Error
            << QStringLiteral("--capi-info, --backup: only one of these can run at a time.") << -1;
        QTest::newRow("unregistered operation") << args({"--import", "a.csv"}) << A::Error
                                                << QStringLiteral("Unknown option 'import'.") << -1;
        QTest::newRow("positional without backup")
            << args({"/b"}) << A::Error << QStringLiteral("Unexpected argument '/b'.") << -1;
        QTest::newRow("help wins")
            << args({"--export", "a.csv", "--backup", "--help"}) << A::Help << QString() << -1;
        QTest::newRow("version") << args({"--appdir", "/a", "--version"}) << A::Version << QString()
                                 << -1;
        QTest::newRow("capi info") << args({"--capi-info"}) << A::CapiInfo << QString() << -1;
    }
    void parse() {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(QString, detail);
        QFETCH(int, report);
        Calls calls;
        const BatchRegistry registry =
            registryOf(calls, {BatchOperation::Export, BatchOperation::Backup});
        CommandLine commandLine(registry);
        commandLine.parse(QStringList{QStringLiteral("kalvendo")} + arguments);
        QCOMPARE(commandLine.action(), action);
        if (action == CommandLine::Action::Error)
            QCOMPARE(commandLine.errorText(), detail);
        else
            QCOMPARE(commandLine.operationArgument(), detail);
        QCOMPARE(commandLine.report().value_or(-1), report);
    }

    // A batch operation gets the resolved folder and its argument; success
    // prints nothing.
    void batchRunsOnTheApplicationFolder() {
        AppFolder folder;
        Calls calls;
        const BatchRegistry registry =
            registryOf(calls, {BatchOperation::Export, BatchOperation::Restore});
        const QString appDirWithoutSlash = folder.path().chopped(1);
        const Outcome o = runInProcess(registry, {QStringLiteral("--appdir"), appDirWithoutSlash,
                                                  QStringLiteral("--restore"),
                                                  QStringLiteral("/backups/01022024")});
        QCOMPARE(o.err, QString());
        QCOMPARE(o.out, QString());
        QCOMPARE(o.code, 0);
        QCOMPARE(calls.seen.size(), size_t(1));
        QCOMPARE(calls.seen[0].first, BatchOperation::Restore);
        const BatchContext& context = calls.seen[0].second;
        QCOMPARE(context.applicationPath, folder.path());
        QCOMPARE(context.argument, QStringLiteral("/backups/01022024"));
        QCOMPARE(context.exeDir, QStringLiteral("/opt/kalvendo/bin"));
        QVERIFY(!context.report);
        // The folder is free again afterwards.
        QCOMPARE(InstanceGuard::holderOf(folder.path()), InstanceGuard::Holder::None);
    }

    void batchFailurePrintsOneLine_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("line");
        QTest::newRow("program error")
            << 0 << QStringLiteral("kalvendo: Die Datei x.csv enthält keine Adressen.\n");
        QTest::newRow("other error") << 1 << QStringLiteral("kalvendo: disk full\n");
    }
    void batchFailurePrintsOneLine() {
        QFETCH(int, kind);
        QFETCH(QString, line);
        AppFolder folder;
        Calls calls;
        calls.fail = [kind]() {
            if (kind == 0)
                throw ETestBatchFailure(QStringLiteral("Die Datei x.csv enthält keine Adressen."));
            throw std::runtime_error("disk full");
        };
        const BatchRegistry registry = registryOf(calls, {BatchOperation::Export});
        const Outcome o =
            runInProcess(registry, {QStringLiteral("--appdir"), folder.path(),
                                    QStringLiteral("--export"), QStringLiteral("x.csv")});
        QCOMPARE(o.code, 1);
        QCOMPARE(o.err, line);
        QCOMPARE(o.out, QString());
        QCOMPARE(calls.seen.size(), size_t(1));
    }

    // A folder held by a running window (or another operation) is left alone.
    void batchRefusedOnHeldFolder_data() {
        QTest::addColumn<InstanceGuard::Role>("holder");
        QTest::addColumn<QString>("message");
        QTest::newRow("window") << InstanceGuard::Role::Window
                                << QStringLiteral("is open in a running Kalvendo window");
        QTest::newRow("operation") << InstanceGuard::Role::Batch
                                   << QStringLiteral("another Kalvendo operation is running");
    }
    void batchRefusedOnHeldFolder() {
        QFETCH(InstanceGuard::Role, holder);
        QFETCH(QString, message);
        AppFolder folder;
        InstanceGuard running(folder.path());
        QCOMPARE(running.claim(holder), InstanceGuard::Holder::None);
        QSignalSpy activations(&running, &InstanceGuard::activationRequested);
        Calls calls;
        const BatchRegistry registry = registryOf(calls, {BatchOperation::Backup});
        const Outcome o = runInProcess(
            registry, {QStringLiteral("--appdir"), folder.path(), QStringLiteral("--backup")});
        QCOMPARE(o.code, 1);
        QVERIFY2(o.err.startsWith(QStringLiteral("kalvendo: ")), qPrintable(o.err));
        QVERIFY2(o.err.contains(message), qPrintable(o.err));
        QVERIFY2(o.err.contains(folder.path()), qPrintable(o.err));
        QCOMPARE(o.err.count(u'\n'), 1);
        QVERIFY(calls.seen.empty());
        QCoreApplication::processEvents();
        QCOMPARE(activations.count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
