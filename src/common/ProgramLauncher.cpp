#include "common/ProgramLauncher.h"

#include "common/TestHook.h"

#include <QProcess>

namespace kalvendo {

void setProgramStarter(ProgramStarter starter) {
    testHook<ProgramStarter>() = std::move(starter);
}

bool startProgram(const QString& program, const QStringList& arguments) {
    if (const auto& start = testHook<ProgramStarter>())
        return start(program, arguments);
    return QProcess::startDetached(program, arguments);
}

} // namespace kalvendo
