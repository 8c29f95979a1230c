#include "app/TForm1.h"

#include "addressbook/AddressTable.h"
#include "addressbook/GroupFilter.h"
#include "addressbook/ui/AddressGrid.h"
#include "addressbook/ui/FieldsPanel.h"
#include "addressbook/ui/RecordController.h"
#include "app/ApplicationFolder.h"
#include "app/ErrorLog.h"
#include "app/Help.h"
#include "callerid/ui/CallerIdController.h"
#include "capi/CapiInfo.h"
#include "common/CommandGuard.h"
#include "common/IniFile.h"
#include "common/MessageDialog.h"
#include "common/StatusBar.h"
#include "common/TextFile.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "output/letter/ui/LetterController.h"
#include "output/ui/ExportController.h"
#include "output/ui/ImportController.h"
#include "output/ui/LinksController.h"
#include "output/ui/ReportController.h"
#include "settings/Preferences.h"
#include "settings/ui/MaintenanceController.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QScreen>
#include <QToolButton>

namespace kalvendo {

TForm1::TForm1(Options options, QWidget* parent)
    : QMainWindow(parent), m_options(std::move(options)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(productName());

    AdsTable1 = new AddressTable(this);
    AdsTable1->setObjectName(QStringLiteral("AdsTable1"));
    // Loads the CAPI driver once for the whole program.
    info = new TCapiInfo(this);
    info->setObjectName(QStringLiteral("info"));

    buildToolBar();
    buildMenu();
    buildCentralArea();
    buildStatusBar();

    // The design is complete: the engine may translate from now on. No language
    // is current yet, so this applies nothing until the settings dialog picks one.
    lng = new TMultilanguage(this, QStringLiteral("lng"));
    lng->setScript(scriptForm1());
    lng->Loaded();

    m_ctx = {this, AdsTable1, lng, m_panels, m_fields, m_paths};
    m_records = new RecordController(
        m_ctx, {m_gridPanel, Edit1, ComboBox1, toolButton(QStringLiteral("ToolButton4"))}, this);
    m_records->setObjectName(QStringLiteral("RecordController"));
    m_callerId = new CallerIdController(m_ctx, this);
    m_callerId->setObjectName(QStringLiteral("CallerIdController"));
    m_letter = new LetterController(
        getApplicationPath(), [fields = m_fields]() { return fields->shownRecord(); }, lng, {},
        this);
    m_links = new LinksController(m_ctx, this);
    m_reports = new ReportController(AdsTable1, lng, m_paths, this);
    m_export = new ExportController(m_ctx, m_reports, this);
    m_import = new ImportController(m_ctx, this);
    m_maintenance = new MaintenanceController(
        m_ctx,
        [this](const std::exception& e) {
            ErrorLog(applicationPath(), lng, this).record(m_maintenance, e);
        },
        this);
    m_maintenance->setObjectName(QStringLiteral("MaintenanceController"));
    bindCommands();

    // Client area 886 x 538; it cannot be made smaller than that.
    setMinimumSize(886, 538);
    resize(886, 538);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

TForm1::~TForm1() {
    // The monitor's registration goes while the window is still whole.
    delete m_callerId;
    m_callerId = nullptr;
}

// The command table: every command of the main window, one line each. A
// command joins by naming its menu entry (or button) and its handler here.
void TForm1::bindCommands() {
    CommandTable& c = m_commands;
    c.bind("Einstellungen1", this, [this]() { showWindow(m_windows.settings); });
    c.bind("Beenden1", this, &TForm1::Beenden1Click);
    c.bind("NeuerDatensatz1", m_records, &RecordController::ToolButton1Click);
    c.bind("Datensatzlschen1", m_records, &RecordController::ToolButton2Click);
    c.bind("nderungenspeichern1", m_records, &RecordController::ToolButton3Click);
    c.bind("SucheimInternet1", this, [this]() { showWindow(m_windows.numberSearch); });
    c.bind("SucheinDatenstzen1", m_records, &RecordController::ToolButton4Click);
    c.bind("Nummernaufbereiten1", m_callerId, &CallerIdController::Nummernaufbereiten1Click);
    c.bind("Import1", m_import, &ImportController::ToolButton5Click);
    c.bind("Export1", m_export, &ExportController::ToolButton6Click);
    c.bind("Drucken1", m_reports, &ReportController::ToolButton9Click);
    c.bind("Sichern1", m_maintenance, &MaintenanceController::Sichern1Click);
    c.bind("Wiederherstellen1", m_maintenance, &MaintenanceController::Wiederherstellen1Click);
    c.bind("Datenpacken1", m_maintenance, &MaintenanceController::Datenpacken1Click);
    c.bind("Hilfe2", this, [this]() { openHelp(applicationPath()); });
    c.bind("Errorlogsenden1", this, [this]() { mailErrorLog(applicationPath()); });
    c.bind("Info1", this, [this]() { showWindow(m_windows.about); });
    c.bind("SpeedButton1", m_letter, [this]() { m_letter->SpeedButton1Click(); });
    c.bind("SpeedButton2", m_links, &LinksController::SpeedButton2Click);
    c.bind("SpeedButton3", m_links, &LinksController::SpeedButton3Click);
    c.bind("SpeedButton4", m_links, &LinksController::SpeedButton4Click);
    c.bind("OutlookExport1", m_links, &LinksController::OutlookExport1Click);
    c.bind("AlsvCardspeichern1", m_links, &LinksController::AlsvCardspeichern1Click);
    c.bind("WindowsMobile1", m_links, &LinksController::WindowsMobile1Click);
}

void TForm1::showWindow(QWidget* window) {
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

QString TForm1::getApplicationPath() const {
    return kalvendo::getApplicationPath(m_options.exeDir, m_options.appDirArg);
}

QAction* TForm1::action(const QString& name) const {
    return findChild<QAction*>(name);
}

QToolButton* TForm1::toolButton(const QString& name) const {
    return findChild<QToolButton*>(name);
}

void TForm1::FormCreate() {
    // Each step runs only when the ones before it succeeded; an error ends the
    // creation at that step and the program goes on.
    bool handlerInstalled = false;
    try {
        FirstShow = true;                                // 1
        *m_paths = AppPaths(getApplicationPath());       // 2
        AdsTable1->connectFolder(m_paths->dataFolder()); // 3
        AdsTable1->setIndexName(QStringLiteral("NAME")); // 4
        AdsTable1->open();

        installAppException(applicationPath(), lng, this); // 5
        handlerInstalled = true;

        DBAdvGrid1->gridModel()->setMarkedColumn(1); // 6
        m_ctx.showStatus(StatusPanel::RecordCount,
                         QString::number(AdsTable1->recordCount())); // 7
        DBAdvGrid1->loadColumnWidths(m_paths->columnWidths());       // 8
        m_fields->resetDatePicker();                                 // 9
        m_fields->setGroups(readTextLines(m_paths->groups()));       // 10

        IniFile ab(m_paths->preferences()); // 11
        const QString definably = readPref(ab, prefs::startup::definably);
        if (readPref(ab, prefs::startup::isdn))
            m_callerId->activateMonitor();

        if (const QString group = readPref(ab, prefs::startup::group); !group.isEmpty()) { // 12
            try {
                setGroupFilter(*AdsTable1, group);
            } catch (const std::exception&) {
                // A stored group the filter cannot carry is dropped without a message.
                writePref(ab, prefs::key::group, QString());
            }
        }

        ReadHeaders(); // 13

        m_fields->labelFor(fDefinierbar)->setText(definably); // 14
        DBAdvGrid1->setUserFieldHeader(definably);

        ComboBox1->setCurrentIndex(0); // 15: the list is still empty here
    } catch (const std::exception& e) {
        if (handlerInstalled)
            handleUncaught(this, e);
        else
            messageDlg(exceptionMessage(e), DialogKind::Error, DialogButtons::Ok);
    }
}

void TForm1::FormShow() {
    if (!FirstShow)
        return;
    const IniFile ab(m_paths->preferences());
    const int pos = readPref(ab, prefs::startup::searchbox);
    ComboBox1->setCurrentIndex(pos >= 0 && pos < ComboBox1->count() ? pos : -1);
    FirstShow = false;
}

void TForm1::FormClose() {
    DBAdvGrid1->saveColumnWidths(m_paths->columnWidths());
}

void TForm1::ReadHeaders() {
    DBAdvGrid1->ReadHeaders(*lng);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    guardCommand(this, [this]() { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    guardCommand(this, [this]() { FormClose(); });
    event->accept();
    QApplication::quit();
}

void TForm1::Beenden1Click() {
    close();
}

} // namespace kalvendo
