#include "app/CommandLine.h"

#include "app/ApplicationFolder.h"
#include "app/InstanceGuard.h"
#include "capi/CapiInfo.h"
#include "common/Exception.h"

#include <QCoreApplication>
#include <QTextStream>

#include <array>

namespace kalvendo {

void BatchRegistry::add(BatchOperation operation, BatchFunction run) {
    m_operations[operation] = std::move(run);
}

const BatchFunction* BatchRegistry::find(BatchOperation operation) const {
    const auto it = m_operations.find(operation);
    return it == m_operations.end() ? nullptr : &it->second;
}

namespace {

struct OperationOption {
    BatchOperation operation;
    const char* name;
    const char* valueName; // nullptr: no value, or an optional one after the option
    const char* description;
};

// How each operation appears on the command line. An entry is offered only
// once its operation is registered.
constexpr std::array<OperationOption, 5> kOperationOptions{{
    {BatchOperation::Export, "export", "FILE",
     "Export the address table to FILE (the format follows the extension) and exit."},
    {BatchOperation::Import, "import", "FILE",
     "Import the addresses in FILE (CSV or vCard) and exit."},
    {BatchOperation::Backup, "backup", nullptr,
     "Back up the data folder into a dated folder below DIR (default: the backup folder "
     "from the settings) and exit."},
    {BatchOperation::Restore, "restore", "DIR",
     "Restore the address table from the backup in DIR and exit."},
    {BatchOperation::Pack, "pack", "FILE.CAB",
     "Pack the data files into the cabinet file FILE.CAB and exit."},
}};

const QString kReport = QStringLiteral("report");
constexpr int kLastReport = 3;

// Qt's own window-system options, which QApplication takes out of the
// arguments itself; `takesValue` when the next argument belongs to them.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr std::array<QtOption, 24> kQtOptions{{
    {"platform", true},
    {"platformpluginpath", true},
    {"platformtheme", true},
    {"plugin", true},
    {"qwindowgeometry", true},
    {"geometry", true},
    {"qwindowtitle", true},
    {"title", true},
    {"qwindowicon", true},
    {"icon", true},
    {"session", true},
    {"style", true},
    {"stylesheet", true},
    {"display", true},
    {"name", true},
    {"visual", true},
    {"ncols", true},
    {"im", true},
    {"reverse", false},
    {"widgetcount", false},
    {"nograb", false},
    {"dograb", false},
    {"sync", false},
    {"cmap", false},
}};

QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (i == 0 || !arg.startsWith(u'-') || arg == QStringLiteral("--")) {
            kept << arg;
            continue;
        }
        QString name = arg.mid(arg.startsWith(QStringLiteral("--")) ? 2 : 1);
        const bool inlineValue = name.contains(u'=');
        name = name.section(u'=', 0, 0);
        if (name == QStringLiteral("qmljsdebugger"))
            continue;
        bool qt = false;
        for (const QtOption& o : kQtOptions) {
            if (name == QLatin1String(o.name)) {
                qt = true;
                if (o.takesValue && !inlineValue)
                    ++i;
                break;
            }
        }
        if (!qt)
            kept << arg;
    }
    return kept;
}

QString dashed(const OperationOption& o) {
    return QStringLiteral("--") + QLatin1String(o.name);
}

} // namespace

CommandLine::CommandLine(const BatchRegistry& registry) : m_registry(registry) {
    m_parser.setApplicationDescription(QStringLiteral("Kalvendo address book"));
    m_parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                          QStringLiteral("Show this help and exit.")));
    m_parser.addOption(QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")},
                                          QStringLiteral("Print the version and exit.")));
    m_parser.addOption(QCommandLineOption(QStringLiteral("appdir"),
                                          QStringLiteral("Use DIR as the application folder."),
                                          QStringLiteral("DIR")));
    m_parser.addOption(QCommandLineOption(
        QStringLiteral("capi-info"),
        QStringLiteral("Print the state of the CAPI 2.0 driver and its version, then exit.")));
    for (const OperationOption& o : kOperationOptions) {
        if (!m_registry.find(o.operation))
            continue;
        QCommandLineOption option(QLatin1String(o.name), QLatin1String(o.description));
        if (o.valueName)
            option.setValueName(QLatin1String(o.valueName));
        m_parser.addOption(option);
        if (o.operation == BatchOperation::Export)
            m_parser.addOption(QCommandLineOption(
                kReport,
                QStringLiteral("With --export to PDF: use report N (0 to 3) instead of the "
                               "one chosen in the settings."),
                QStringLiteral("N")));
        if (o.operation == BatchOperation::Backup)
            m_parser.addPositionalArgument(QStringLiteral("DIR"),
                                           QStringLiteral("With --backup: the folder to back "
                                                          "up into."),
                                           QStringLiteral("[DIR]"));
    }
}

void CommandLine::parse(const QStringList& arguments) {
    const auto fail = [this](const QString& message) {
        m_action = Action::Error;
        m_error = message;
    };
    if (!m_parser.parse(withoutQtOptions(arguments)))
        return fail(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        m_action = Action::Help;
        return;
    }
    if (m_parser.isSet(QStringLiteral("version"))) {
        m_action = Action::Version;
        return;
    }
    m_appDir = m_parser.value(QStringLiteral("appdir"));
    if (m_parser.isSet(QStringLiteral("appdir")) && m_appDir.isEmpty())
        return fail(QStringLiteral("--appdir needs a folder."));

    QStringList chosen;
    const OperationOption* operation = nullptr;
    if (m_parser.isSet(QStringLiteral("capi-info")))
        chosen << QStringLiteral("--capi-info");
    for (const OperationOption& o : kOperationOptions) {
        if (m_registry.find(o.operation) && m_parser.isSet(QLatin1String(o.name))) {
            chosen << dashed(o);
            operation = &o;
        }
    }
    if (chosen.size() > 1)
        return fail(chosen.join(QStringLiteral(", ")) +
                    QStringLiteral(": only one of these can run at a time."));

    QStringList positional = m_parser.positionalArguments();
    if (operation && operation->operation == BatchOperation::Backup && !positional.isEmpty())
        m_argument = positional.takeFirst();
    if (!positional.isEmpty())
        return fail(QStringLiteral("Unexpected argument '%1'.").arg(positional.first()));

    const bool exporting = operation && operation->operation == BatchOperation::Export;
    if (m_registry.find(BatchOperation::Export) && m_parser.isSet(kReport)) {
        if (!exporting)
            return fail(QStringLiteral("--report is only used with --export."));
        bool ok = false;
        const int n = m_parser.value(kReport).toInt(&ok);
        if (!ok || n < 0 || n > kLastReport)
            return fail(QStringLiteral("--report needs a report number from 0 to %1, not '%2'.")
                            .arg(kLastReport)
                            .arg(m_parser.value(kReport)));
        m_report = n;
    }

    if (m_parser.isSet(QStringLiteral("capi-info"))) {
        m_action = Action::CapiInfo;
        return;
    }
    if (!operation) {
        m_action = Action::Window;
        return;
    }
    if (operation->valueName) {
        m_argument = m_parser.value(QLatin1String(operation->name));
        if (m_argument.isEmpty())
            return fail(dashed(*operation) +
                        QStringLiteral(" needs %1.").arg(QLatin1String(operation->valueName)));
    }
    m_operation = operation->operation;
    m_action = Action::Batch;
}

QString CommandLine::helpText() const {
    return m_parser.helpText();
}

QString versionText() {
    return QStringLiteral("kalvendo ") + QStringLiteral(KALVENDO_VERSION);
}

void seedSharedFolder(const QString& applicationPath, const QString& exeDir,
                      const QString& appDirArg, QTextStream& err) {
    // A per-machine installation starts with the shipped defaults.
    if (!appDirArg.isEmpty() || applicationPath != sharedApplicationFolder())
        return;
    try {
        seedApplicationFolder(applicationPath, installedDefaultsFolder(exeDir));
    } catch (const std::exception& e) {
        err << "kalvendo: " << QString::fromLocal8Bit(e.what()) << '\n';
        err.flush();
    }
}

namespace {

int runBatch(const CommandLine& commandLine, const BatchRegistry& registry, const QString& exeDir,
             QTextStream& err) {
    const auto failure = [&err](const QString& message) {
        err << "kalvendo: " << message << '\n';
        err.flush();
        return ExitFailure;
    };
    const BatchFunction* run = registry.find(commandLine.operation());
    if (!run)
        return failure(QStringLiteral("this operation is not available."));

    BatchContext context;
    context.exeDir = exeDir;
    context.applicationPath = getApplicationPath(exeDir, commandLine.appDir());
    context.argument = commandLine.operationArgument();
    context.report = commandLine.report();

    InstanceGuard guard(context.applicationPath);
    const InstanceGuard::Holder holder = guard.claim(InstanceGuard::Role::Batch);
    if (holder != InstanceGuard::Holder::None)
        return failure(InstanceGuard::refusalText(holder, context.applicationPath));
    seedSharedFolder(context.applicationPath, exeDir, commandLine.appDir(), err);

    try {
        (*run)(context);
    } catch (const Exception& e) {
        return failure(e.message());
    } catch (const std::exception& e) {
        return failure(QString::fromLocal8Bit(e.what()));
    }
    return 0;
}

} // namespace

int runWithoutWindow(const CommandLine& commandLine, const BatchRegistry& registry,
                     const QString& exeDir, QTextStream& out, QTextStream& err) {
    switch (commandLine.action()) {
    case CommandLine::Action::Help:
        out << commandLine.helpText();
        out.flush();
        return 0;
    case CommandLine::Action::Version:
        out << versionText() << '\n';
        out.flush();
        return 0;
    case CommandLine::Action::CapiInfo:
        return printCapiDiagnostics(out);
    case CommandLine::Action::Batch:
        return runBatch(commandLine, registry, exeDir, err);
    case CommandLine::Action::Error:
        err << "kalvendo: " << commandLine.errorText() << '\n';
        err.flush();
        return ExitUsage;
    case CommandLine::Action::Window:
        break;
    }
    err << "kalvendo: the window cannot start from here.\n";
    err.flush();
    return ExitFailure;
}

} // namespace kalvendo
