#include "app/BatchOperations.h"

namespace kalvendo {

BatchRegistry shippedBatchOperations() {
    BatchRegistry registry;
    // Each operation that runs without a window adds its line here, e.g.
    //     registry.add(BatchOperation::Backup, backupFromCommandLine);
    return registry;
}

} // namespace kalvendo
