#include "app/ApplicationFolder.h"
#include "app/Program.h"
#include "app/TForm1.h"
#include "capi/CapiInfo.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

using namespace kalvendo;

int main(int argc, char** argv) {
    // Diagnostics run without a window (and without a display).
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--capi-info") == 0) {
            QCoreApplication core(argc, argv);
            QTextStream out(stdout);
            return printCapiDiagnostics(out);
        }
    }

    KalvendoApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Kalvendo address book"));
    parser.addHelpOption();
    const QCommandLineOption appDir(QStringLiteral("appdir"),
                                    QStringLiteral("Use DIR as the application folder."),
                                    QStringLiteral("DIR"));
    parser.addOption(appDir);
    parser.addOption(QCommandLineOption(
        QStringLiteral("capi-info"),
        QStringLiteral("Print the state of the CAPI 2.0 driver and its version, then exit.")));
    parser.process(app);

    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString appDirArg = parser.value(appDir);

    // A per-machine installation starts with the shipped defaults.
    if (appDirArg.isEmpty()) {
        const QString appPath = getApplicationPath(exeDir);
        if (appPath == sharedApplicationFolder()) {
            try {
                seedApplicationFolder(appPath, installedDefaultsFolder(exeDir));
            } catch (const std::exception& e) {
                std::fprintf(stderr, "kalvendo: %s\n", e.what());
            }
        }
    }

    ProgramWindows windows = createWindows(exeDir, appDirArg);
    windows.form1->show();
    return app.exec();
}
