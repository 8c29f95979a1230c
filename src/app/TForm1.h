#pragma once

#include "addressbook/ui/MainWindowContext.h"
#include "common/CommandTable.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QToolBar;
class QToolButton;

namespace kalvendo {

class AddressTable;
class CallerIdController;
class LetterController;
class LinksController;
class ExportController;
class ImportController;
class MaintenanceController;
class RecordController;
class ReportController;
class TCapiInfo;
class TDBAdvGrid;
class TFieldsPanel;
class TGridPanel;
class TMultilanguage;
class TStatusBar;

// The main window: a frame that builds the widgets, owns the program's shared
// state (application folder, address table, language engine, CAPI driver),
// runs the start-up steps and binds every command to the controller that
// carries it out, in one command table (bindCommands).
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    struct Options {
        QString exeDir;    // the executable's folder
        QString appDirArg; // --appdir, empty when not given
    };
    // The windows that some commands show; created after the main window.
    struct SecondaryWindows {
        QPointer<QWidget> settings;     // TForm2
        QPointer<QWidget> numberSearch; // TForm3
        QPointer<QWidget> about;        // TForm5
    };

    explicit TForm1(Options options, QWidget* parent = nullptr);
    ~TForm1() override;

    void setSecondaryWindows(const SecondaryWindows& windows) { m_windows = windows; }

    QString getApplicationPath() const;
    const QString& applicationPath() const { return m_paths->root(); }
    const AppPaths& paths() const { return *m_paths; }
    const MainWindowContext& context() const { return m_ctx; }
    const CommandTable& commands() const { return m_commands; }

    AddressTable* table() const { return AdsTable1; }
    TMultilanguage* engine() const { return lng; }
    TCapiInfo* capiInfo() const { return info; }
    TFieldsPanel* fieldsPanel() const { return m_fields; }
    QComboBox* searchFieldList() const { return ComboBox1; }
    TDBAdvGrid* grid() const { return DBAdvGrid1; }
    TStatusBar* statusPanels() const { return m_panels; }
    bool firstShow() const { return FirstShow; }

    QAction* action(const QString& name) const;
    QToolButton* toolButton(const QString& name) const;

    void Beenden1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The widget builders (TForm1Layout.cpp), the one place that knows the
    // designer's numbering.
    void buildMenu();
    void buildToolBar();
    void buildCentralArea();
    void buildStatusBar();

    void bindCommands();
    void showWindow(QWidget* window);

    void FormCreate();
    void FormShow();
    void FormClose();
    void ReadHeaders();

    Options m_options;
    std::shared_ptr<AppPaths> m_paths = std::make_shared<AppPaths>();
    bool FirstShow = false;

    AddressTable* AdsTable1 = nullptr;
    TMultilanguage* lng = nullptr;
    TCapiInfo* info = nullptr;
    TStatusBar* m_panels = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    TFieldsPanel* m_fields = nullptr;
    TGridPanel* m_gridPanel = nullptr;
    TDBAdvGrid* DBAdvGrid1 = nullptr;

    MainWindowContext m_ctx;
    CommandTable m_commands{this};
    SecondaryWindows m_windows;
    RecordController* m_records = nullptr;
    CallerIdController* m_callerId = nullptr;
    LetterController* m_letter = nullptr;
    LinksController* m_links = nullptr;
    ReportController* m_reports = nullptr;
    ExportController* m_export = nullptr;
    ImportController* m_import = nullptr;
    MaintenanceController* m_maintenance = nullptr;
};

} // namespace kalvendo
