#include "settings/ui/MaintenanceController.h"

#include "addressbook/AddressTable.h"
#include "common/FileDialogs.h"
#include "common/MessageDialog.h"
#include "settings/Backup.h"
#include "settings/MaintenanceMessages.h"
#include "settings/Packing.h"
#include "settings/Restore.h"

#include <QFileInfo>
#include <QProgressDialog>

#include <optional>

namespace kalvendo {

namespace {

DialogKind dialogKind(NoticeKind kind) {
    switch (kind) {
    case NoticeKind::Error:
        return DialogKind::Error;
    case NoticeKind::Warning:
        return DialogKind::Warning;
    case NoticeKind::Information:
    case NoticeKind::Plain:
        break;
    }
    return DialogKind::Information;
}

// Nothing of this work can be cancelled once started, so the dialog has no
// Cancel button; it appears only when the work takes a moment.
class WorkProgress {
public:
    explicit WorkProgress(QWidget* parent) : m_dialog(QString(), QString(), 0, 1000, parent) {
        m_dialog.setWindowTitle(productName());
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(400);
        m_dialog.setCancelButton(nullptr);
        m_dialog.setAutoClose(false);
        m_dialog.setValue(0);
    }
    ~WorkProgress() { m_dialog.reset(); }
    WorkProgress(const WorkProgress&) = delete;
    WorkProgress& operator=(const WorkProgress&) = delete;

    // Byte counts exceed int: the bar shows thousandths.
    void report(qint64 done, qint64 total) {
        const int value = total > 0 ? int(qBound<qint64>(0, done * 1000 / total, qint64(1000))) : 0;
        if (value != m_dialog.value())
            m_dialog.setValue(value);
    }

private:
    QProgressDialog m_dialog;
};

} // namespace

MaintenanceController::MaintenanceController(const MainWindowContext& context, ErrorLogger logError,
                                             QObject* parent)
    : QObject(parent), m_ctx(context), m_logError(std::move(logError)) {}

void MaintenanceController::show(const Notice& notice) const {
    messageDlg(notice.framed(m_ctx.text(notice.key)), dialogKind(notice.kind), DialogButtons::Ok,
               m_ctx.window);
}

void MaintenanceController::Sichern1Click() {
    BackupOutcome outcome;
    {
        WorkProgress progress(m_ctx.window);
        outcome = backUpData(m_ctx.paths().root(), [&progress](qint64 done, qint64 total) {
            progress.report(done, total);
        });
    }
    show(outcome.notice);
}

void MaintenanceController::Wiederherstellen1Click() {
    const QString chosen = chooseFolder(m_ctx.window, m_ctx.text(notice::msgseldir.key), QString());
    if (chosen.isEmpty())
        return;
    const Notice& question = notice::dbrestored;
    if (messageDlg(question.framed(m_ctx.text(question.key)), dialogKind(question.kind),
                   DialogButtons::OkCancel, m_ctx.window) != DialogResult::Ok)
        return;

    AddressTable* table = m_ctx.table;
    const QString dataFolder = m_ctx.paths().dataFolder();
    const RestoreOutcome outcome = restoreDatabase(
        chosen, dataFolder, [table]() { table->disconnectFolder(); },
        [this, table, dataFolder]() {
            table->connectFolder(dataFolder);
            table->open();
            m_ctx.showStatus(StatusPanel::RecordCount, QString::number(table->recordCount()));
        });
    show(outcome.notice);
    if (!outcome.error.isEmpty() && m_logError)
        m_logError(ERestoreError(outcome.error));
}

void MaintenanceController::Datenpacken1Click() {
    const QString start = m_lastCabFile.isEmpty() ? QStringLiteral("upload.CAB") : m_lastCabFile;
    QString chosen = chooseSaveFile(m_ctx.window, QString(), start,
                                    QStringLiteral("CAB Dateien (*.CAB)"), false);
    if (chosen.isEmpty())
        return;
    // The dialog's default suffix: a name typed without one is given ".CAB".
    if (QFileInfo(chosen).suffix().isEmpty())
        chosen += QStringLiteral(".CAB");
    m_lastCabFile = chosen;

    std::optional<Notice> outcome;
    {
        WorkProgress progress(m_ctx.window);
        PackProgress report;
        report.copying = [&progress](qint64 done, qint64 total) {
            // The copy is the first half of the work.
            progress.report(done, total * 2);
        };
        report.compressing = [&progress](TCABFile*, qint32 pos, qint32 tot) {
            progress.report(qint64(tot) + pos, qint64(tot) * 2);
        };
        outcome = packData(m_ctx.paths().root(), chosen, report);
    }
    if (outcome)
        show(*outcome);
}

} // namespace kalvendo
