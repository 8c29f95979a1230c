#include "output/ui/ReportController.h"

#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "lang/Multilanguage.h"
#include "output/report/PdfExport.h"
#include "output/report/ReportRows.h"
#include "output/ui/TForm4.h"
#include "settings/Preferences.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QWidget>

namespace kalvendo {

ReportController::ReportController(AddressTable* table, TMultilanguage* lng,
                                   QString applicationPath, QWidget* parent)
    : ReportController(table, lng, std::make_shared<const AppPaths>(std::move(applicationPath)),
                       parent) {}

ReportController::ReportController(AddressTable* table, TMultilanguage* lng,
                                   std::shared_ptr<const AppPaths> paths, QWidget* parent)
    : QObject(parent), m_table(table), m_lng(lng), m_paths(std::move(paths)), m_parent(parent) {
    setObjectName(QStringLiteral("RvSystem1"));
}

QString ReportController::applicationPath() const {
    return m_paths->root();
}

ReportController::~ReportController() = default;

QString ReportController::text(const QString& key) const {
    return m_lng ? m_lng->GetString(key) : QString();
}

void ReportController::ToolButton9Click() {
    const IniFile ab(m_paths->preferences());                    // 1
    m_system.previewTitle = text(QStringLiteral("reporttitle")); // 2
    m_system.statusTitle = text(QStringLiteral("reportstatus"));
    // 3: whatever an export left set, printing always ends in the preview.
    m_system.destination = ReportDestination::Preview;
    m_system.outputFileName.clear();
    m_project.ProjectFile = reportProjectPath(m_paths->root()); // 4
    m_project.Open();
    const RvProjectCloser closer(m_project);                             // 7
    setravevariablen(readPref(ab, prefs::output::exportPrint));          // 5
    ExecuteReport(reportName(readPref(ab, prefs::output::exportPrint))); // 6
}

void ReportController::exportPdf(const QString& fileName) {
    const IniFile ab(m_paths->preferences());
    m_system.pdf.title = readPref(ab, prefs::output::pdfTitle);
    m_system.pdf.author = readPref(ab, prefs::output::pdfAuthor);
    m_project.ProjectFile = reportProjectPath(m_paths->root());
    m_system.destination = ReportDestination::File;
    m_system.outputFileName = fileName;
    m_project.Open();
    const RvProjectCloser closer(m_project);
    setravevariablen(readPref(ab, prefs::output::exportPrint));
    ExecuteReport(reportName(readPref(ab, prefs::output::exportPrint)));
}

void ReportController::setravevariablen(int n) {
    kalvendo::setravevariablen(m_project, n, [this](const QString& key) { return text(key); });
}

std::optional<ReportDocument> ReportController::generate(const ReportDefinition& def) {
    const AddressTableRows rows(*m_table);
    QProgressDialog progress(m_parent);
    progress.setWindowTitle(m_system.statusTitle);
    progress.setCancelButtonText(QStringLiteral("Abbrechen"));
    progress.setLabelText(statusText(m_system.generatingFormat, 1));
    progress.setMinimumDuration(m_system.statusDelay);
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    std::optional<ReportDocument> doc =
        layoutReport(def, m_project.params(), rows, [&](int page, int pages) {
            progress.setMaximum(pages);
            progress.setLabelText(statusText(m_system.generatingFormat, page));
            progress.setValue(page);
            return !progress.wasCanceled();
        });
    progress.reset();
    return doc;
}

void ReportController::ExecuteReport(const QString& name) {
    // A name the project does not hold (also the empty name of a number
    // outside 0 .. 3) runs nothing.
    const ReportDefinition* def = m_project.findReport(name);
    if (!def)
        return;
    std::optional<ReportDocument> doc = generate(*def);
    if (!doc)
        return; // cancelled in the progress window
    m_system.output = std::make_shared<const ReportDocument>(std::move(*doc));
    struct ReleaseOutput {
        ReportSystem& system;
        ~ReleaseOutput() { system.output.reset(); }
    } release{m_system};

    if (m_system.destination == ReportDestination::File) {
        writeReportPdf(*m_system.output, m_system.outputFileName, m_system.pdf);
        return;
    }
    TForm4* form = nullptr;
    struct FreePreview {
        ReportController& c;
        TForm4*& form;
        ~FreePreview() { c.RvSystem1OverridePreview(PreviewPhase::Free, form); }
    } freePreview{*this, form};
    RvSystem1OverridePreview(PreviewPhase::Create, form);
    RvSystem1OverridePreview(PreviewPhase::Show, form);
    RvSystem1OverridePreview(PreviewPhase::Wait, form);
}

void ReportController::RvSystem1OverridePreview(PreviewPhase phase, TForm4*& form) {
    switch (phase) {
    case PreviewPhase::Create:
        form = new TForm4(m_lng, m_parent);
        form->setWindowTitle(m_system.previewTitle);
        form->resize(m_system.preview.windowWidth, m_system.preview.windowHeight);
        if (m_system.preview.maximized)
            form->setWindowState(Qt::WindowMaximized);
        form->RvSystem = &m_system;
        break;
    case PreviewPhase::Show: {
        TRvRenderPreview* render = form->RvRenderPreview();
        render->ZoomInc = m_system.preview.zoomStep;
        render->PageInc = m_system.preview.pageStep;
        render->setZoomFactor(m_system.preview.zoomFactor);
        form->start(m_system.output);
        if (m_system.modalPreview)
            form->exec();
        else
            form->show();
        break;
    }
    case PreviewPhase::Wait:
        // Only a window that is not modal needs waiting for; the loop keeps
        // the program responsive until it is closed.
        if (!m_system.modalPreview && form && form->isVisible()) {
            QEventLoop loop;
            connect(form, &QDialog::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        break;
    case PreviewPhase::Free:
        delete form;
        form = nullptr;
        break;
    }
}

} // namespace kalvendo
