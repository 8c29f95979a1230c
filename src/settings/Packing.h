#pragma once

#include "common/Folders.h"
#include "settings/CabFiles.h"
#include "settings/MaintenanceMessages.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace kalvendo {

// The data files a cabinet of the data holds, in their order.
const QStringList& packedFileNames(); // ab.ini adressen.adi adressen.adt col.ini group.txt log.txt

// The folder the data are copied to while they are packed.
QString packTempPath(const QString& applicationPath); // temp

struct PackProgress {
    FolderProgress copying;        // the data folder into temp
    TCompressProgress compressing; // the cabinet
};

// The packing command once the user chose `cabFile` (the window's save dialog
// offers "upload.CAB" first, then the last name chosen, filter
// "CAB Dateien (*.CAB)"). The data folder is copied to temp (a temp left by an
// interrupted run is removed first, so nothing stale is packed); a `cabFile`
// that exists gives fileexists and stays as it is; otherwise the six files of
// the copy are stored in their order, MSZIP, and the outcome is
// datacompressed. temp is removed on every path. Failures pass on as
// EDataCopyError (the copy), EFOpenError (a data file missing: no cabinet is
// written) or ECABFileError, for the window's command guard.
// std::nullopt: the cabinet writer is not available (nothing shown).
std::optional<Notice> packData(const QString& applicationPath, const QString& cabFile,
                               const PackProgress& progress = {});

} // namespace kalvendo
