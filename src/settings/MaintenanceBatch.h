#pragma once

#include "common/Exception.h"

#include <QString>

namespace kalvendo {

// The maintenance commands for the command line: no window, no questions, no
// named strings. Each returns on success and raises a kalvendo::Exception
// whose message is one line (German / English) otherwise. The caller makes
// sure that no window holds the data folder meanwhile.

// The reason a batch run refused or failed where the window would show a message.
KALVENDO_DECLARE_EXCEPTION(EBatchError, Exception)

// Backs the data folder up into the dated folder below `backupFolder`, or
// below dbpath of ab.ini when `backupFolder` is empty. A same-day copy is
// replaced. Returns the copy made. Raises EBatchError when the backup folder
// is not an existing folder, EBackupError / EDataCopyError when the copy fails.
QString runBackup(const QString& applicationPath, const QString& backupFolder = QString());

// Puts the table files of `sourceFolder` in place of the data folder's and
// opens the table once (which rebuilds an index that does not belong to it).
// Raises ERestoreError (nothing changed) or EDatabaseError.
void runRestore(const QString& applicationPath, const QString& sourceFolder);

// Packs the six data files into `cabFile`. Raises EBatchError when `cabFile`
// exists (it stays unchanged), else whatever the packing raises.
void runPack(const QString& applicationPath, const QString& cabFile);

} // namespace kalvendo
