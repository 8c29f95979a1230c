#pragma once

#include "common/Exception.h"
#include "common/Folders.h"
#include "settings/MaintenanceMessages.h"

#include <QDate>
#include <QLocale>
#include <QString>

namespace kalvendo {

// The data folder could not be copied; the message names the file and the reason.
KALVENDO_DECLARE_EXCEPTION(EDataCopyError, EInOutError)
// A backup could not be made; an earlier backup of that name is left as it was.
KALVENDO_DECLARE_EXCEPTION(EBackupError, EInOutError)

// The data folder below the application folder (which ends in '/').
QString dataFolderPath(const QString& applicationPath); // daten

// The folder name of a backup: the short date without "." (German: ddMMyyyy).
// Characters that some desktop's folder names cannot hold (/ \ : * ? " < > |
// and control characters) become "-", so a date never makes nested folders.
QString datedFolderName(const QDate& date, const QLocale& locale = QLocale::system());

// The backup copy below backupFolder, whether or not it ends in a separator.
QString backupTarget(const QString& backupFolder, const QString& datedName);

// Copies the data folder into `target`: the table's two files as one
// consistent state through the database's online backup (so the table may stay
// open and be written meanwhile), the table's journals left out, every other
// file and subfolder byte for byte. Throws EDataCopyError.
void copyDataFolder(const QString& dataFolder, const QString& target,
                    const FolderProgress& progress = {});

// Makes `target` a copy of the data folder. The copy is built in a hidden
// sibling of `target` and swapped in only when complete, so a backup that
// fails leaves an earlier copy of that name as it was and nothing beside it;
// one that succeeds replaces it completely. A target inside the data folder is
// refused. Throws EBackupError or EDataCopyError.
void backupDataFolder(const QString& dataFolder, const QString& target,
                      const FolderProgress& progress = {});

// The backup command (the table stays open): the backup folder is `dbpath`
// from ab.ini; when it is not an existing folder the outcome is msgpath and
// nothing is copied or removed, else the data folder is backed up into the
// dated copy and the outcome is msgdbstored. A failed copy raises
// EBackupError / EDataCopyError, which the window's command guard reports.
struct BackupOutcome {
    Notice notice;
    QString target; // the copy made; empty with msgpath
};
BackupOutcome backUpData(const QString& applicationPath, const FolderProgress& progress = {},
                         const QDate& today = QDate::currentDate(),
                         const QLocale& locale = QLocale::system());

} // namespace kalvendo
