#include "settings/Backup.h"

#include "addressbook/AddressStore.h"
#include "addressbook/TableCopy.h"
#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "common/LocaleFormat.h"
#include "settings/Preferences.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <filesystem>

namespace fs = std::filesystem;

namespace kalvendo {

namespace {

fs::path toPath(const QString& s) {
    return fs::path(QFile::encodeName(s).toStdString());
}

bool isTopLevelTableFile(const QString& relative) {
    if (relative.contains(u'/'))
        return false;
    return relative == AddressStore::kTableFile || relative == AddressStore::kIndexFile ||
           isTableJournal(relative);
}

qint64 fileSize(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() ? info.size() : 0;
}

// Whether `inner` is `outer` or lies below it, after links are resolved.
bool liesWithin(const QString& inner, const QString& outer) {
    const QString a = QFileInfo(inner).canonicalFilePath();
    const QString b = QFileInfo(outer).canonicalFilePath();
    if (a.isEmpty() || b.isEmpty())
        return false;
    return a == b || a.startsWith(b.endsWith(u'/') ? b : b + u'/');
}

QString hiddenSibling(const QFileInfo& target, const char* kind) {
    return target.absolutePath() + QStringLiteral("/.") + target.fileName() + u'-' +
           QLatin1String(kind) + u'-' + QUuid::createUuid().toString(QUuid::Id128).left(8);
}

} // namespace

QString dataFolderPath(const QString& applicationPath) {
    return AppPaths(applicationPath).dataFolder();
}

QString datedFolderName(const QDate& date, const QLocale& locale) {
    QString name = formatShortDate(date, locale);
    name.remove(u'.');
    for (QChar& c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringView(u"/\\:*?\"<>|").contains(c))
            c = u'-';
    }
    name = name.trimmed();
    // A short format of nothing but points and blanks still names a folder.
    return name.isEmpty() ? date.toString(Qt::ISODate) : name;
}

QString backupTarget(const QString& backupFolder, const QString& datedName) {
    if (backupFolder.endsWith(u'/'))
        return backupFolder + datedName;
    return backupFolder + u'/' + datedName;
}

void copyDataFolder(const QString& dataFolder, const QString& target,
                    const FolderProgress& progress) {
    const auto failed = [&](const QString& reason) {
        return EDataCopyError(QStringLiteral("Der Datenordner %1 kann nicht nach %2 kopiert "
                                             "werden / the data folder %1 cannot be copied to "
                                             "%2: %3")
                                  .arg(dataFolder, target, reason));
    };
    const qint64 tableBytes = fileSize(QDir(dataFolder).filePath(AddressStore::kTableFile)) +
                              fileSize(QDir(dataFolder).filePath(AddressStore::kIndexFile));
    qint64 otherBytes = 0;
    QString reason;
    const bool copied = copyFolder(
        dataFolder, target, &reason,
        [&](qint64 done, qint64 total) {
            otherBytes = total;
            if (progress)
                progress(done, total + tableBytes);
        },
        isTopLevelTableFile);
    if (!copied)
        throw failed(reason);
    // The table may grow while it is copied; progress never passes its total.
    const qint64 total = otherBytes + tableBytes;
    qint64 done = otherBytes;
    try {
        copyTableFiles(dataFolder, target, [&](qint64 bytes) {
            done += bytes;
            if (progress)
                progress(std::min(done, total), total);
        });
    } catch (const Exception& e) {
        throw failed(e.message());
    }
    if (progress)
        progress(total, total);
}

void backupDataFolder(const QString& dataFolder, const QString& target,
                      const FolderProgress& progress) {
    const QFileInfo targetInfo(target);
    const QString parent = targetInfo.absolutePath();
    if (liesWithin(parent, dataFolder))
        throw EBackupError(QStringLiteral("Die Sicherung %1 läge im Datenordner %2 / the backup "
                                          "%1 would lie inside the data folder %2")
                               .arg(target, dataFolder));

    QTemporaryDir fresh(parent + QStringLiteral("/.") + targetInfo.fileName() +
                        QStringLiteral("-new-XXXXXX"));
    if (!fresh.isValid())
        throw EBackupError(QStringLiteral("In %1 kann keine Sicherung angelegt werden / no backup "
                                          "can be made in %1: %2")
                               .arg(parent, fresh.errorString()));
    copyDataFolder(dataFolder, fresh.path(), progress);

    // The temporary folder is private; the copy gets the data folder's access.
    std::error_code ec;
    const auto perms = fs::status(toPath(dataFolder), ec).permissions();
    if (!ec)
        fs::permissions(toPath(fresh.path()), perms, ec);

    const fs::path to = toPath(target);
    if (fs::exists(fs::symlink_status(to, ec))) {
        // An earlier copy of that day steps aside first and goes only once the
        // new one has its place.
        const QString old = hiddenSibling(targetInfo, "old");
        fs::rename(to, toPath(old), ec);
        if (ec)
            throw EBackupError(QStringLiteral("Die Sicherung %1 kann nicht ersetzt werden / the "
                                              "backup %1 cannot be replaced: %2")
                                   .arg(target, QString::fromLocal8Bit(ec.message())));
        fs::rename(toPath(fresh.path()), to, ec);
        if (ec) {
            std::error_code back;
            fs::rename(toPath(old), to, back);
            throw EBackupError(QStringLiteral("Die Sicherung %1 kann nicht ersetzt werden / the "
                                              "backup %1 cannot be replaced: %2")
                                   .arg(target, QString::fromLocal8Bit(ec.message())));
        }
        fresh.setAutoRemove(false);
        QString reason;
        if (!deleteFolder(old, &reason))
            qWarning("%s", qUtf8Printable(reason));
        return;
    }
    fs::rename(toPath(fresh.path()), to, ec);
    if (ec)
        throw EBackupError(QStringLiteral("Die Sicherung %1 kann nicht angelegt werden / the "
                                          "backup %1 cannot be made: %2")
                               .arg(target, QString::fromLocal8Bit(ec.message())));
    fresh.setAutoRemove(false);
}

BackupOutcome backUpData(const QString& applicationPath, const FolderProgress& progress,
                         const QDate& today, const QLocale& locale) {
    const IniFile ab(AppPaths(applicationPath).preferences());
    const QString folder = readPref(ab, prefs::backup::dbpath);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {notice::msgpath, {}};
    const QString target = backupTarget(folder, datedFolderName(today, locale));
    backupDataFolder(dataFolderPath(applicationPath), target, progress);
    return {notice::msgdbstored, target};
}

} // namespace kalvendo
