#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace kalvendo {

// Starts another program (the word processor with a letter) detached from this
// one. Returns whether it could be started; it is not waited for.
bool startProgram(const QString& program, const QStringList& arguments);

// Tests see the starts through this hook instead of starting anything; an
// empty function restores real starts.
using ProgramStarter = std::function<bool(const QString& program, const QStringList& arguments)>;
void setProgramStarter(ProgramStarter starter);

} // namespace kalvendo
