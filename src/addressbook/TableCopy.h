#pragma once

#include <QString>

#include <functional>

namespace kalvendo {

// Copies the two files of the address table in `folder` ("adressen.adt" and
// "adressen.adi") into `targetFolder` as one consistent state, through SQLite's
// online backup: the table may be open and written meanwhile, in this process
// or another, and the copies hold the state before or after each write, never
// a mix and never a half-written page. Files already in `targetFolder` under
// those names are replaced. A file missing in `folder` is not copied. Files
// SQLite cannot read at all are copied byte for byte: nobody can be writing
// them. `advanced` is told the bytes of each piece copied.
// Throws EDatabaseError, or EInOutError / EWriteError from a byte copy.
void copyTableFiles(const QString& folder, const QString& targetFolder,
                    const std::function<void(qint64 bytes)>& advanced = {});

// Whether a file name in a data folder is a journal of the table's files: it
// belongs to the live table and must never be copied beside a copy of it.
bool isTableJournal(const QString& fileName);

} // namespace kalvendo
