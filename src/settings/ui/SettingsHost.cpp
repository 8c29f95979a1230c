#include "settings/ui/SettingsHost.h"

#include <QCoreApplication>

namespace kalvendo {

SettingsHost::~SettingsHost() = default;

QString SettingsHost::executableFolder() const {
    return QCoreApplication::applicationDirPath();
}

} // namespace kalvendo
