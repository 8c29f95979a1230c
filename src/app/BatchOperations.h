#pragma once

#include "app/CommandLine.h"

namespace kalvendo {

// The batch operations this program offers on its command line.
BatchRegistry shippedBatchOperations();

} // namespace kalvendo
