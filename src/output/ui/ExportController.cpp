#include "output/ui/ExportController.h"

#include "common/FileDialogs.h"
#include "common/IniFile.h"
#include "common/MessageDialog.h"
#include "lang/Multilanguage.h"
#include "output/export/FileExport.h"
#include "output/ui/ReportController.h"
#include "settings/Preferences.h"

#include <QFileInfo>
#include <QProgressDialog>

namespace kalvendo {

namespace {

QString languageCode(const QString& language) {
    static const QStringList names{QStringLiteral("German"), QStringLiteral("English"),
                                   QStringLiteral("French"), QStringLiteral("Spanish"),
                                   QStringLiteral("Italian")};
    static const QStringList codes{QStringLiteral("de"), QStringLiteral("en"), QStringLiteral("fr"),
                                   QStringLiteral("es"), QStringLiteral("it")};
    const qsizetype i = names.indexOf(language);
    return i >= 0 ? codes.at(i) : QString();
}

} // namespace

ExportController::ExportController(const MainWindowContext& ctx, ReportController* reports,
                                   QObject* parent)
    : QObject(parent), m_ctx(ctx), m_reports(reports) {
    setObjectName(QStringLiteral("ExportController"));
}

void ExportController::ToolButton6Click() {
    const IniFile ab(m_ctx.paths().preferences());
    const int configured = readPref(ab, prefs::output::exportFormat);
    const std::optional<ExportFormat> format = exportFormat(configured);
    if (!format)
        return;
    const SaveDialogSetup dialog = saveDialogSetup(*format);
    // Replacing is confirmed here, after the default suffix is known.
    QString file = chooseSaveFile(m_ctx.window, m_ctx.text("Export1.Caption"), m_ctx.paths().root(),
                                  dialog.filter, false);
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += u'.' + dialog.defaultSuffix;
    if (QFileInfo::exists(file)) {
        const QString question = m_ctx.text("exportreplace").replace(QStringLiteral("%s"), file);
        if (messageDlg(question, DialogKind::Confirmation, DialogButtons::YesNo, m_ctx.window) !=
            DialogResult::Yes)
            return;
    }

    QProgressDialog progress(m_ctx.window);
    progress.setWindowModality(Qt::WindowModal);
    progress.setWindowTitle(m_ctx.text("Export1.Caption"));
    progress.setLabelText(m_ctx.text("exportprogress"));
    progress.setMinimumDuration(400);
    progress.setAutoReset(false);

    ExportOptions options;
    options.html.title = QStringLiteral("Adressen");
    options.html.language = m_ctx.lng ? languageCode(m_ctx.lng->Language()) : QString();
    options.html.headers =
        gridHeaders([this](const QString& key) { return m_ctx.lng->GetString(key); },
                    readPref(ab, prefs::startup::definably));
    options.progress = [&progress](qint64 done, qint64 total) {
        progress.setMaximum(int(qMin<qint64>(total, INT_MAX)));
        progress.setValue(int(qMin<qint64>(done, INT_MAX)));
        return !progress.wasCanceled();
    };
    options.pdf = [this](const QString& path) { m_reports->exportPdf(path); };
    exportTable(*m_ctx.table, file, configured, options);
}

} // namespace kalvendo
