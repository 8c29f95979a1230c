#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>

class QTextStream;

namespace kalvendo {

// The operations that can run without a window, each the same code as its command.
enum class BatchOperation { Export, Import, Backup, Restore, Pack };

// What a batch operation is given.
struct BatchContext {
    QString exeDir;            // the executable's folder
    QString applicationPath;   // the resolved application folder, ending in '/'
    QString argument;          // FILE or DIR; empty when optional and not given
    std::optional<int> report; // --report N, with --export only
};

// A batch operation returns on success and throws (a kalvendo::Exception
// subclass) on failure; the command line prints the message.
using BatchFunction = std::function<void(const BatchContext&)>;

// The operations this program can run. One that is not registered is not
// offered on the command line at all.
class BatchRegistry {
public:
    void add(BatchOperation operation, BatchFunction run);
    const BatchFunction* find(BatchOperation operation) const;

private:
    std::map<BatchOperation, BatchFunction> m_operations;
};

// One parse of the program's arguments. Parsing needs no application object,
// so the caller can decide whether a display is needed at all.
class CommandLine {
public:
    enum class Action { Window, Help, Version, CapiInfo, Batch, Error };

    explicit CommandLine(const BatchRegistry& registry);

    // `arguments` includes the program name first, as QCoreApplication::arguments().
    void parse(const QStringList& arguments);

    Action action() const { return m_action; }
    QString errorText() const { return m_error; }
    QString appDir() const { return m_appDir; }
    BatchOperation operation() const { return m_operation; }
    QString operationArgument() const { return m_argument; }
    std::optional<int> report() const { return m_report; }

    // Needs a QCoreApplication (for the program name in the usage line).
    QString helpText() const;

private:
    const BatchRegistry& m_registry;
    QCommandLineParser m_parser;
    Action m_action = Action::Window;
    QString m_error;
    QString m_appDir;
    BatchOperation m_operation = BatchOperation::Export;
    QString m_argument;
    std::optional<int> m_report;
};

// The version line that --version prints.
QString versionText();

// Carries out every action but Window: prints help or version, the CAPI
// diagnostics, runs a batch operation on the application folder (refused while
// another instance holds that folder) or reports the parse error. Returns the
// exit status; success prints nothing but what was asked for, a failure one
// line "kalvendo: <message>" on `err`.
int runWithoutWindow(const CommandLine& commandLine, const BatchRegistry& registry,
                     const QString& exeDir, QTextStream& out, QTextStream& err);

// Exit statuses.
inline constexpr int ExitFailure = 1;
inline constexpr int ExitUsage = 2;

// Copies the shipped defaults into a shared application folder that lacks them.
// Failures are reported on `err` and do not stop the start.
void seedSharedFolder(const QString& applicationPath, const QString& exeDir,
                      const QString& appDirArg, QTextStream& err);

} // namespace kalvendo
