#pragma once

#include "addressbook/Fields.h"

#include <QString>

namespace kalvendo {

// The main window's caption while the contact is exported, and afterwards (the
// first name, a blank and the name from the edit fields).
QString contactExportRunningCaption();
QString contactExportDoneCaption(const Record& record);

// "<first name> <name>.vcf" with the characters that cannot stand in a file
// name replaced by "_"; "Kontakt.vcf" for a contact without a name.
QString contactFileName(const Record& record);

// Writes the contact as one vCard into `folder` (which must exist) under
// contactFileName() and returns the file's path, to hand to the desktop's
// contacts program. Throws EConvertError for a bad birthday (nothing is
// written then) or EWriteError.
QString writeContactCard(const Record& record, const QString& folder);

} // namespace kalvendo
