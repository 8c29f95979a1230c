#include "app/ApplicationFolder.h"
#include "app/BatchOperations.h"
#include "app/CommandLine.h"
#include "app/InstanceGuard.h"
#include "app/Program.h"
#include "app/TForm1.h"
#include "app/WindowActivation.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

using namespace kalvendo;

namespace {

QStringList argumentList(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    const BatchRegistry batchOperations = shippedBatchOperations();
    CommandLine commandLine(batchOperations);
    commandLine.parse(argumentList(argc, argv));

    QTextStream err(stderr);
    // Everything but the window runs without a display.
    if (commandLine.action() != CommandLine::Action::Window) {
        // An export may end in a PDF (by its extension or by ab.ini), which
        // needs fonts: the offscreen platform gives them without a display.
        std::unique_ptr<QCoreApplication> core;
        if (commandLine.action() == CommandLine::Action::Batch &&
            commandLine.operation() == BatchOperation::Export) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
            core = std::make_unique<QGuiApplication>(argc, argv);
        } else {
            core = std::make_unique<QCoreApplication>(argc, argv);
        }
        QTextStream out(stdout);
        return runWithoutWindow(commandLine, batchOperations,
                                QCoreApplication::applicationDirPath(), out, err);
    }

    KalvendoApplication app(argc, argv);
    const QString exeDir = QCoreApplication::applicationDirPath();
    const QString appPath = getApplicationPath(exeDir, commandLine.appDir());

    InstanceGuard guard(appPath);
    switch (const InstanceGuard::Holder holder = guard.claim(InstanceGuard::Role::Window)) {
    case InstanceGuard::Holder::None:
        break;
    case InstanceGuard::Holder::Window:
        // The running window has come to the front instead.
        return 0;
    case InstanceGuard::Holder::Batch:
    case InstanceGuard::Holder::Unresponsive:
        err << "kalvendo: " << InstanceGuard::refusalText(holder, appPath) << '\n';
        return ExitFailure;
    }
    seedSharedFolder(appPath, exeDir, commandLine.appDir(), err);

    ProgramWindows windows = createWindows(exeDir, commandLine.appDir());
    TForm1* mainWindow = windows.form1.get();
    QObject::connect(&guard, &InstanceGuard::activationRequested, mainWindow,
                     [mainWindow]() { bringToFront(mainWindow); });
    mainWindow->show();
    return app.exec();
}
