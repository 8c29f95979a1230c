#pragma once

#include "common/Exception.h"

namespace kalvendo {

// Every failure of the address table: the file, what was attempted and the
// storage engine's own text.
KALVENDO_DECLARE_EXCEPTION(EDatabaseError, Exception)

} // namespace kalvendo
