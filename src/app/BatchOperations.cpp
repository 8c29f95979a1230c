#include "app/BatchOperations.h"

#include "output/ui/FileBatch.h"
#include "settings/MaintenanceBatch.h"

namespace kalvendo {

BatchRegistry shippedBatchOperations() {
    BatchRegistry registry;
    // Each operation that runs without a window adds its line here, e.g.
    //     registry.add(BatchOperation::Backup, backupFromCommandLine);
    registry.add(BatchOperation::Export, [](const BatchContext& c) {
        exportFileBatch(c.applicationPath, c.argument, c.report);
    });
    registry.add(BatchOperation::Import,
                 [](const BatchContext& c) { importFileBatch(c.applicationPath, c.argument); });
    registry.add(BatchOperation::Backup,
                 [](const BatchContext& c) { runBackup(c.applicationPath, c.argument); });
    registry.add(BatchOperation::Restore,
                 [](const BatchContext& c) { runRestore(c.applicationPath, c.argument); });
    registry.add(BatchOperation::Pack,
                 [](const BatchContext& c) { runPack(c.applicationPath, c.argument); });
    return registry;
}

} // namespace kalvendo
