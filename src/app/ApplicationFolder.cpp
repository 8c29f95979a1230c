#include "app/ApplicationFolder.h"

#include "common/AppPaths.h"
#include "common/IniFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <filesystem>

namespace kalvendo {

namespace {
QString withSlash(QString p) {
    if (!p.endsWith(u'/'))
        p += u'/';
    return p;
}
} // namespace

QString sharedApplicationFolder() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return withSlash(base) + QStringLiteral("KTW/qvd/");
}

QString getApplicationPath(const QString& exeDir, const QString& overrideDir) {
    if (!overrideDir.isEmpty())
        return withSlash(QFileInfo(overrideDir).absoluteFilePath());

    const IniFile mainIni(withSlash(exeDir) + QStringLiteral("main.ini"));
    const int type = mainIni.readInteger(QStringLiteral("app"), QStringLiteral("type"), 0);
    switch (type) {
    case 0:
        return withSlash(QFileInfo(exeDir).absoluteFilePath());
    case 1:
        return sharedApplicationFolder();
    default:
        // No meaning is defined for other types: the root of the file system.
        return QStringLiteral("/");
    }
}

QString installedDefaultsFolder(const QString& exeDir) {
    const QString share = QDir(exeDir).absoluteFilePath(QStringLiteral("../share/kalvendo"));
    if (QFileInfo::exists(share + QStringLiteral("/daten")))
        return withSlash(QDir::cleanPath(share));
    return withSlash(exeDir);
}

bool seedApplicationFolder(const QString& appPath, const QString& defaultsDir) {
    namespace fs = std::filesystem;
    const fs::path from = fs::path(defaultsDir.toStdString());
    const fs::path to = fs::path(appPath.toStdString());
    std::error_code same;
    if (fs::equivalent(from, to, same))
        return false;
    bool copied = false;
    for (const QString& folder : AppPaths::shippedFolders()) {
        const fs::path sub(folder.toStdString());
        std::error_code ec;
        if (!fs::is_directory(from / sub, ec) || fs::exists(to / sub, ec))
            continue;
        fs::create_directories(to, ec);
        fs::copy(from / sub, to / sub, fs::copy_options::recursive, ec);
        if (ec)
            throw std::filesystem::filesystem_error("seeding the application folder", from / sub,
                                                    to / sub, ec);
        copied = true;
    }
    return copied;
}

} // namespace kalvendo
