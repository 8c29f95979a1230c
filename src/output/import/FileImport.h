#pragma once

#include "output/import/ImportRun.h"

#include <QString>

namespace kalvendo {

class AddressTable;

// The open dialog's filter (Qt syntax) and default suffix for import files.
QString importDialogFilter();
QString importDefaultSuffix();

struct ImportOptions {
    QString userLabel; // the user's name for the user-defined field (preference definably)
    ImportProgressFn progress;
};

// Imports a comma-separated file as the mapping dialog would by default: by
// caption when the first line names fields, else by position. Throws
// EInOutError when the file cannot be read (what was read stays imported) and
// EDatabaseError when the table cannot store.
ImportResult importFile(AddressTable& table, const QString& path,
                        const ImportOptions& options = {});

} // namespace kalvendo
