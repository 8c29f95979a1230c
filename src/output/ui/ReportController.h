#pragma once

#include "output/report/ReportLayout.h"
#include "output/report/ReportProject.h"
#include "output/report/ReportSystem.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QWidget;

namespace kalvendo {

class AddressTable;
class AppPaths;
class TForm4;
class TMultilanguage;

// The phases in which the report system hands its output to the preview.
enum class PreviewPhase { Create, Show, Wait, Free };

// The print command and the PDF export: the report project, the report system
// and the preview they run through. The commands throw their errors
// (EReportProjectError, EWriteError, EPdfError, ...); wired through the command
// guard, they reach the application-wide handler. A cancelled run stops
// silently.
class ReportController : public QObject {
    Q_OBJECT
public:
    // `applicationPath` ends in '/'; `parent` is the main window, over which
    // the progress and the preview open.
    ReportController(AddressTable* table, TMultilanguage* lng, QString applicationPath,
                     QWidget* parent);
    // The main window's paths, which are known only once start-up has read
    // them: read at each run.
    ReportController(AddressTable* table, TMultilanguage* lng,
                     std::shared_ptr<const AppPaths> paths, QWidget* parent);
    ~ReportController() override;

    // Print command (tool button "Drucken (Strg+P)", menu entry Drucken1):
    // runs the report `export`/`print` names into the preview window.
    void ToolButton9Click();

    // PDF export (`export`/`format` 1), after the save dialog chose `fileName`:
    // the same run written as a PDF file, without preview.
    void exportPdf(const QString& fileName);

    // Sets report number n's variables on the open project; another number
    // sets nothing.
    void setravevariablen(int n);

    void RvSystem1OverridePreview(PreviewPhase phase, TForm4*& form);

    ReportSystem& RvSystem1() { return m_system; }
    RvProject& RvProject1() { return m_project; }
    QString applicationPath() const;

private:
    QString text(const QString& key) const;
    // Runs the open project's report of that name to the system's destination.
    void ExecuteReport(const QString& name);
    std::optional<ReportDocument> generate(const ReportDefinition& def);

    AddressTable* m_table;
    TMultilanguage* m_lng;
    std::shared_ptr<const AppPaths> m_paths;
    QPointer<QWidget> m_parent;
    ReportSystem m_system;
    RvProject m_project;
};

} // namespace kalvendo
