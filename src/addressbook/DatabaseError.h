#pragma once

#include "common/Exception.h"

namespace kalvendo {

// Every failure of the address table: the file, what was attempted and the
// storage engine's own text.
KALVENDO_DECLARE_EXCEPTION(EDatabaseError, Exception)

// The table file is a database, but not the one this program lays out (other
// tables, triggers or views, another format). It is neither opened nor changed.
KALVENDO_DECLARE_EXCEPTION(EForeignTable, EDatabaseError)

// A file of the table is damaged (SQLite's page check finds faults, or reading
// it does). Nothing is written into it: a damaged table file is refused at
// open (a backup has to be restored); a damaged index file refuses every write
// until the table is opened again, which rebuilds it.
KALVENDO_DECLARE_EXCEPTION(EDamagedTable, EDatabaseError)

} // namespace kalvendo
