#include "output/ui/ImportController.h"

#include "common/FileDialogs.h"
#include "common/IniFile.h"
#include "output/import/FileImport.h"
#include "settings/Preferences.h"

#include <QProgressDialog>

namespace kalvendo {

ImportController::ImportController(const MainWindowContext& ctx, QObject* parent)
    : QObject(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("ImportController"));
}

void ImportController::ToolButton5Click() {
    const QString file = chooseOpenFile(m_ctx.window, m_ctx.text("Import1.Caption"),
                                        m_ctx.paths().root(), importDialogFilter());
    if (file.isEmpty())
        return;
    const IniFile ab(m_ctx.paths().preferences());

    QProgressDialog progress(m_ctx.window);
    progress.setWindowModality(Qt::WindowModal);
    progress.setWindowTitle(m_ctx.text("Import1.Caption"));
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);
    const QString label = m_ctx.text("importprogress");

    ImportOptions options;
    options.userLabel = readPref(ab, prefs::startup::definably);
    // The bar follows the position in the file; the label counts records.
    options.progress = [&](const ImportProgress& p) {
        const qint64 scale = p.size > INT_MAX ? p.size / INT_MAX + 1 : 1;
        progress.setMaximum(int(p.size / scale));
        progress.setLabelText(
            QString(label).replace(QStringLiteral("%d"), QString::number(p.records)));
        progress.setValue(int(qMin(p.position, p.size) / scale));
        return !progress.wasCanceled();
    };
    const ImportResult result = importFile(*m_ctx.table, file, options);
    m_ctx.showStatus(StatusPanel::RecordCount, QString::number(result.recordCount));
}

} // namespace kalvendo
