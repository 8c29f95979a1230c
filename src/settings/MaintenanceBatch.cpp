#include "settings/MaintenanceBatch.h"

#include "addressbook/AddressStore.h"
#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "settings/Backup.h"
#include "settings/Packing.h"
#include "settings/Preferences.h"
#include "settings/Restore.h"

#include <QDate>
#include <QFileInfo>

namespace kalvendo {

QString runBackup(const QString& applicationPath, const QString& backupFolder) {
    QString folder = backupFolder;
    if (folder.isEmpty())
        folder = readPref(IniFile(AppPaths(applicationPath).preferences()), prefs::backup::dbpath);
    if (folder.isEmpty())
        throw EBatchError(QStringLiteral("Kein Sicherungspfad eingestellt / no backup folder is "
                                         "set (dbpath in ab.ini)"));
    if (!QFileInfo(folder).isDir())
        throw EBatchError(QStringLiteral("Sicherungspfad %1 existiert nicht / the backup folder "
                                         "%1 does not exist")
                              .arg(folder));
    const QString target = backupTarget(folder, datedFolderName(QDate::currentDate()));
    backupDataFolder(dataFolderPath(applicationPath), target);
    return target;
}

void runRestore(const QString& applicationPath, const QString& sourceFolder) {
    const QString data = dataFolderPath(applicationPath);
    restoreTableFiles(sourceFolder, data);
    AddressStore store;
    store.open(data);
}

void runPack(const QString& applicationPath, const QString& cabFile) {
    const std::optional<Notice> outcome = packData(applicationPath, cabFile);
    if (outcome && qstrcmp(outcome->key, notice::fileexists.key) == 0)
        throw EBatchError(QStringLiteral("Die Datei %1 existiert bereits / the file %1 already "
                                         "exists")
                              .arg(cabFile));
}

} // namespace kalvendo
