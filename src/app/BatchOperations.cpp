#include "app/BatchOperations.h"

#include "settings/MaintenanceBatch.h"

namespace kalvendo {

BatchRegistry shippedBatchOperations() {
    BatchRegistry registry;
    // Each operation that runs without a window adds its line here, e.g.
    //     registry.add(BatchOperation::Backup, backupFromCommandLine);
    registry.add(BatchOperation::Backup,
                 [](const BatchContext& c) { runBackup(c.applicationPath, c.argument); });
    registry.add(BatchOperation::Restore,
                 [](const BatchContext& c) { runRestore(c.applicationPath, c.argument); });
    registry.add(BatchOperation::Pack,
                 [](const BatchContext& c) { runPack(c.applicationPath, c.argument); });
    return registry;
}

} // namespace kalvendo
