#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace kalvendo::test {

// The built program, run as a user runs it.
struct ProgramResult {
    bool finished = false;
    QProcess::ExitStatus status = QProcess::CrashExit;
    int code = -1;
    QString out;
    QString err;
};

// The test's environment with no display at all: neither X, Wayland nor a
// platform chosen through Qt.
inline QProcessEnvironment environmentWithoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

inline QProcessEnvironment offscreenEnvironment() {
    QProcessEnvironment env = environmentWithoutDisplay();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

inline void startProgram(QProcess& process, const QStringList& arguments,
                         const QProcessEnvironment& env) {
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KALVENDO_EXE), arguments);
}

inline ProgramResult runProgram(const QStringList& arguments, const QProcessEnvironment& env,
                                int timeoutMs = 60000) {
    QProcess process;
    startProgram(process, arguments, env);
    ProgramResult r;
    r.finished = process.waitForFinished(timeoutMs);
    if (!r.finished)
        process.kill();
    process.waitForFinished();
    r.status = process.exitStatus();
    r.code = process.exitCode();
    r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(process.readAllStandardError());
    return r;
}

} // namespace kalvendo::test
