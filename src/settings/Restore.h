#pragma once

#include "common/Exception.h"
#include "settings/MaintenanceMessages.h"

#include <QString>

#include <functional>

namespace kalvendo {

// A restore that changed nothing; the message says which file failed and why.
KALVENDO_DECLARE_EXCEPTION(ERestoreError, EInOutError)

// Replaces the table's two files in `dataFolder` ("adressen.adt" and
// "adressen.adi") by those in `sourceFolder`, e.g. a backup copy. The table
// must be closed. Both sources are copied to hidden names in the data folder
// and checked there (readable, of this program's table and index format); only
// when both are good do they take the old files' places, together with any
// journal the old table left behind. On any failure nothing in the data folder
// changes and ERestoreError is raised. ab.ini, group.txt, col.ini and every
// other file stay as they are.
void restoreTableFiles(const QString& sourceFolder, const QString& dataFolder);

// The restore command once the user chose the folder and answered OK to
// dbrestored: `disconnect` closes the table (and its connection), the files
// are replaced, and `reconnect` opens the table again in every case. The
// outcome is dbres, or dbreserror with the reason in `error` (for the error
// log or the command line). An error of disconnect (nothing changed) or of
// reconnect is passed on.
struct RestoreOutcome {
    Notice notice;
    QString error;
};
RestoreOutcome restoreDatabase(const QString& sourceFolder, const QString& dataFolder,
                               const std::function<void()>& disconnect,
                               const std::function<void()>& reconnect);

} // namespace kalvendo
