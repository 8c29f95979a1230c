#pragma once

#include "output/import/ImportRun.h"

#include <QString>

namespace kalvendo {

class AddressTable;

// The open dialog's filter (Qt syntax) and default suffix for import files:
// comma-separated text first, as it always was, then vCard files.
QString importDialogFilter();
QString importDefaultSuffix();

struct ImportOptions {
    QString userLabel; // the user's name for the user-defined field (preference definably)
    ImportProgressFn progress;
};

// The command line's import: a .vcf file card by card, any other file as
// comma-separated text the way the mapping dialog defaults it (by caption
// when the first line names fields, else by position). Throws EInOutError when
// the file cannot be read (what was read stays imported) and EDatabaseError
// when the table cannot store.
ImportResult importFile(AddressTable& table, const QString& path,
                        const ImportOptions& options = {});

} // namespace kalvendo
