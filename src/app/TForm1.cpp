#include "app/TForm1.h"

#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "addressbook/ui/AddressGrid.h"
#include "addressbook/ui/DBControls.h"
#include "addressbook/ui/FieldsPanel.h"
#include "addressbook/ui/RecordController.h"
#include "app/ApplicationFolder.h"
#include "app/ErrorLog.h"
#include "app/Help.h"
#include "callerid/CallNotice.h"
#include "callerid/PhoneNumber.h"
#include "capi/CapiInfo.h"
#include "capi/CapiMonitor.h"
#include "common/CommandGuard.h"
#include "common/MessageDialog.h"
#include "common/TextFile.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "lang/StatusBar.h"
#include "settings/IniFile.h"
#include "settings/Preferences.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kalvendo {

namespace {
const QString kTitle = QStringLiteral("Kalvendo 2009");

} // namespace

TForm1::TForm1(Options options, QWidget* parent)
    : QMainWindow(parent), m_options(std::move(options)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitle);

    AdsTable1 = new AddressTable(this);
    AdsTable1->setObjectName(QStringLiteral("AdsTable1"));
    // Loads the CAPI driver once for the whole program.
    info = new TCapiInfo(this);
    info->setObjectName(QStringLiteral("info"));
    CapiMonitor1 = new TCapiMonitor(this);
    CapiMonitor1->setObjectName(QStringLiteral("CapiMonitor1"));
    CapiMonitor1->OnIncomingCall = [this](const QString& caller, const QString& called, quint16 cip,
                                          const QString& cipText) {
        CapiMonitor1IncomingCall(caller, called, cip, cipText);
    };

    buildToolBar();
    buildMenu();
    buildCentralArea();
    buildStatusBar();

    // The design is complete: the engine may translate from now on. No language
    // is current yet, so this applies nothing until the settings dialog picks one.
    lng = new TMultilanguage(this, QStringLiteral("lng"));
    lng->setScript(scriptForm1());
    lng->Loaded();

    m_records =
        new RecordController({this, AdsTable1, lng, m_panels, m_fields, m_gridPanel, Edit1,
                              ComboBox1, [this]() { return groupFilePath(ApplicationPath); }},
                             this);
    m_records->setObjectName(QStringLiteral("RecordController"));
    m_records->connectToolButtons(
        toolButton(QStringLiteral("ToolButton1")), toolButton(QStringLiteral("ToolButton2")),
        toolButton(QStringLiteral("ToolButton3")), toolButton(QStringLiteral("ToolButton4")));
    for (const char* name :
         {"NeuerDatensatz1", "Datensatzlschen1", "nderungenspeichern1", "SucheinDatenstzen1"})
        setCommandAvailable(QString::fromLatin1(name), true);

    // Client area 886 x 538; it cannot be made smaller than that.
    setMinimumSize(886, 538);
    resize(886, 538);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    FormCreate();
}

TForm1::~TForm1() {
    // Release the registration while the window is still whole.
    delete CapiMonitor1;
    CapiMonitor1 = nullptr;
}

QString TForm1::getApplicationPath() const {
    return kalvendo::getApplicationPath(m_options.exeDir, m_options.appDirArg);
}

QString TForm1::dataPath(const QString& name) const {
    return ApplicationPath + QStringLiteral("daten/") + name;
}

QAction* TForm1::action(const QString& name) const {
    return findChild<QAction*>(name);
}

QToolButton* TForm1::toolButton(const QString& name) const {
    return findChild<QToolButton*>(name);
}

void TForm1::setCommandAvailable(const QString& actionName, bool available) {
    if (QAction* a = action(actionName))
        a->setEnabled(available);
    const QVariant button =
        action(actionName) ? action(actionName)->property("toolButton") : QVariant();
    if (auto* b = qobject_cast<QToolButton*>(button.value<QObject*>()))
        b->setEnabled(available);
}

QToolButton* TForm1::addToolButton(QToolBar* bar, const char* name, const QString& hint,
                                   int standardIcon) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(standardIcon)));
    b->setIconSize(QSize(32, 32));
    b->setFixedSize(46, 46);
    b->setAutoRaise(true);
    b->setEnabled(false);
    bar->addWidget(b);
    return b;
}

void TForm1::buildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(64);
    ToolBar1->setIconSize(QSize(32, 32));
    ToolBar1->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    struct Button {
        const char* name; // nullptr: a separator
        const char* hint;
        QStyle::StandardPixmap icon;
    };
    static const Button buttons[] = {
        {"ToolButton1", "Neuer Datensatz (F2)", QStyle::SP_FileIcon},
        {"ToolButton2", "Datensatz löschen (F3)", QStyle::SP_TrashIcon},
        {"ToolButton3", "Änderungen speichern (F4)", QStyle::SP_DialogSaveButton},
        {nullptr, nullptr, {}},
        {"ToolButton5", "Daten importieren (F5)", QStyle::SP_ArrowDown},
        {"ToolButton6", "Daten exportieren (F6)", QStyle::SP_ArrowUp},
        {"ToolButton7", "Datenbank sichern (F7)", QStyle::SP_DriveHDIcon},
        {nullptr, nullptr, {}},
        {"ToolButton8", "Suche im Internet (F8)", QStyle::SP_DriveNetIcon},
        {"ToolButton9", "Drucken (Strg+P)", QStyle::SP_FileDialogDetailedView},
        {"ToolButton10", "Einstellungen (F9)", QStyle::SP_FileDialogInfoView},
    };
    for (const Button& b : buttons) {
        if (b.name)
            addToolButton(ToolBar1, b.name, QString::fromUtf8(b.hint), b.icon);
        else
            ToolBar1->addSeparator();
    }

    // Search panel: stretches with the window.
    auto* panel = new QWidget(ToolBar1);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 0, 4, 0);
    auto* label13 = new QLabel(QStringLiteral("Suchbegriff:"), panel);
    label13->setObjectName(QStringLiteral("Label13"));
    Edit1 = new QLineEdit(panel);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    auto* label14 = new QLabel(QStringLiteral("Feld:"), panel);
    label14->setObjectName(QStringLiteral("Label14"));
    ComboBox1 = new QComboBox(panel);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setMinimumWidth(110);
    row->addWidget(label13);
    row->addWidget(Edit1, 1);
    row->addWidget(label14);
    row->addWidget(ComboBox1);
    ToolBar1->addWidget(panel);

    addToolButton(ToolBar1, "ToolButton4", QStringLiteral("Datensätze durchsuchen (F10)"),
                  QStyle::SP_FileDialogContentsView);
}

QAction* TForm1::addMenuAction(QMenu* menu, const char* name, const QString& caption,
                               const QKeySequence& shortcut, QToolButton* button) {
    auto* a = new QAction(caption, this);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(shortcut);
    a->setShortcutContext(Qt::WindowShortcut);
    a->setEnabled(false);
    menu->addAction(a);
    if (button) {
        // A menu entry with a tool button only clicks that button.
        a->setProperty("toolButton", QVariant::fromValue<QObject*>(button));
        connect(a, &QAction::triggered, button, [button]() {
            if (button->isEnabled())
                button->click();
        });
    }
    return a;
}

void TForm1::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [&](const char* name, const QString& title) {
        QMenu* m = bar->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto key = [](QKeyCombination k) { return QKeySequence(k); };

    QMenu* programm = menu("Programm1", QStringLiteral("Programm"));
    addMenuAction(programm, "Einstellungen1", QStringLiteral("Einstellungen"), key(Qt::Key_F9),
                  toolButton(QStringLiteral("ToolButton10")));
    programm->addSeparator();
    QAction* close =
        addMenuAction(programm, "Beenden1", QStringLiteral("Beenden"), key(Qt::CTRL | Qt::Key_F12));
    close->setEnabled(true);
    connectCommand(close, &QAction::triggered, this, [this]() { Beenden1Click(); });

    QMenu* record = menu("Datensatz1", QStringLiteral("Datensatz"));
    addMenuAction(record, "NeuerDatensatz1", QStringLiteral("Neuer Datensatz"), key(Qt::Key_F2),
                  toolButton(QStringLiteral("ToolButton1")));
    addMenuAction(record, "Datensatzlschen1", QStringLiteral("Datensatz löschen"), key(Qt::Key_F3),
                  toolButton(QStringLiteral("ToolButton2")));
    addMenuAction(record, "nderungenspeichern1", QStringLiteral("Änderungen speichern"),
                  key(Qt::Key_F4), toolButton(QStringLiteral("ToolButton3")));
    record->addSeparator();
    addMenuAction(record, "Import1", QStringLiteral("Import"), key(Qt::Key_F5),
                  toolButton(QStringLiteral("ToolButton5")));
    addMenuAction(record, "Export1", QStringLiteral("Export"), key(Qt::Key_F6),
                  toolButton(QStringLiteral("ToolButton6")));
    record->addSeparator();
    addMenuAction(record, "SucheimInternet1", QStringLiteral("Suche im Internet"), key(Qt::Key_F8),
                  toolButton(QStringLiteral("ToolButton8")));
    addMenuAction(record, "SucheinDatenstzen1", QStringLiteral("Suche in Datensätzen"),
                  key(Qt::Key_F10), toolButton(QStringLiteral("ToolButton4")));
    record->addSeparator();
    addMenuAction(record, "OutlookExport1", QStringLiteral("Outlook-Export "), key(Qt::Key_F12));
    addMenuAction(record, "WindowsMobile1", QStringLiteral("Windows Mobile"), QKeySequence());

    QMenu* db = menu("Datenbank1", QStringLiteral("Datenbank"));
    addMenuAction(db, "Sichern1", QStringLiteral("Sichern"), key(Qt::Key_F7),
                  toolButton(QStringLiteral("ToolButton7")));
    addMenuAction(db, "Wiederherstellen1", QStringLiteral("Wiederherstellen"), key(Qt::Key_F11));
    db->addSeparator();
    addMenuAction(db, "Nummernaufbereiten1", QStringLiteral("Nummern aufbereiten"),
                  key(Qt::CTRL | Qt::ALT | Qt::Key_N));
    db->addSeparator();
    addMenuAction(db, "Drucken1", QStringLiteral("Drucken"), key(Qt::CTRL | Qt::Key_P),
                  toolButton(QStringLiteral("ToolButton9")));

    connectCommand(action(QStringLiteral("Nummernaufbereiten1")), &QAction::triggered, this,
                   [this]() { Nummernaufbereiten1Click(); });
    setCommandAvailable(QStringLiteral("Nummernaufbereiten1"), true);

    QMenu* help = menu("Hilfe1", QStringLiteral("Hilfe"));
    addMenuAction(help, "Hilfe2", QStringLiteral("Hilfe"), key(Qt::Key_F1));
    help->addSeparator();
    addMenuAction(help, "Errorlogsenden1", QStringLiteral("Fehlerprotokoll senden"),
                  key(Qt::CTRL | Qt::ALT | Qt::Key_S));
    help->addSeparator();
    addMenuAction(help, "Datenpacken1", QStringLiteral("Daten packen"), QKeySequence());
    help->addSeparator();
    addMenuAction(help, "Info1", QStringLiteral("Info"), QKeySequence());

    connectCommand(action(QStringLiteral("Hilfe2")), &QAction::triggered, this,
                   [this]() { openHelp(ApplicationPath); });
    setCommandAvailable(QStringLiteral("Hilfe2"), true);
    connectCommand(action(QStringLiteral("Errorlogsenden1")), &QAction::triggered, this,
                   [this]() { mailErrorLog(ApplicationPath); });
    setCommandAvailable(QStringLiteral("Errorlogsenden1"), true);
}

void TForm1::buildCentralArea() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("CentralArea"));
    auto* split = new QHBoxLayout(central);
    split->setContentsMargins(4, 4, 4, 4);
    m_fields = new TFieldsPanel(AdsTable1, central);
    m_gridPanel = new TGridPanel(AdsTable1, central);
    DBAdvGrid1 = m_gridPanel->grid();
    split->addWidget(m_fields);
    split->addWidget(m_gridPanel, 1);
    setCentralWidget(central);

    m_fields->chainTabOrder({ToolBar1, m_gridPanel->button(1), m_gridPanel->button(3),
                             m_gridPanel->button(2), m_gridPanel->button(4), DBAdvGrid1});

    // Leaving the telephone or mobile field writes its prepared number and
    // saves the record; typing there takes the phone key set only.
    for (int n : {8, 9}) {
        TDBEdit* edit = m_fields->edit(n);
        edit->setKeyFilter(&isPhoneKey);
        connectCommand(edit, &TDBEdit::Exit, this, [this, n]() {
            if (n == 8)
                DBEdit8Exit();
            else
                DBEdit9Exit();
        });
    }
}

void TForm1::DBEdit8Exit() {
    writePreparedNumber(fTelefon, fTsuche);
}

void TForm1::DBEdit9Exit() {
    writePreparedNumber(fMobil, fHsuche);
}

void TForm1::writePreparedNumber(int source, int prepared) {
    // With no record shown there is nothing to save: tabbing through the empty
    // fields of an empty table must not create records.
    if (!AdsTable1->isActive() ||
        (AdsTable1->state() == AddressTable::State::Browse && AdsTable1->rowCount() == 0))
        return;
    const QString number = m_fields->edit(source == fTelefon ? 8 : 9)->text();
    if (AdsTable1->state() == AddressTable::State::Browse)
        AdsTable1->edit();
    AdsTable1->setFieldValue(prepared, prepareNumber(number));
    AdsTable1->post();
}

void TForm1::buildStatusBar() {
    m_panels = new TStatusBar(this);
    m_panels->setObjectName(QStringLiteral("StatusBar1"));
    m_panels->addPanel(140, Qt::AlignCenter);
    m_panels->addPanel(40, Qt::AlignCenter);
    m_panels->addPanel(50, Qt::AlignLeft | Qt::AlignVCenter);
    m_panels->setPanelText(0, QStringLiteral("Anzahl Datensätze:"));
    setStatusBar(m_panels);
}

void TForm1::FormCreate() {
    // Each step runs only when the ones before it succeeded; an error ends the
    // creation at that step and the program goes on.
    bool handlerInstalled = false;
    try {
        FirstShow = true;                                                    // 1
        ApplicationPath = getApplicationPath();                              // 2
        AdsTable1->connectFolder(ApplicationPath + QStringLiteral("daten")); // 3
        AdsTable1->setIndexName(QStringLiteral("NAME"));                     // 4
        AdsTable1->open();

        installAppException(ApplicationPath, lng, this); // 5
        handlerInstalled = true;

        DBAdvGrid1->gridModel()->setMarkedColumn(1);                          // 6
        m_panels->setPanelText(1, QString::number(AdsTable1->recordCount())); // 7
        DBAdvGrid1->loadColumnWidths(dataPath(QStringLiteral("col.ini")));    // 8
        m_fields->resetDatePicker();                                          // 9
        m_fields->setGroups(readTextLines(groupFilePath(ApplicationPath)));   // 10

        IniFile ab(preferencesPath(ApplicationPath)); // 11
        const QString definably = readPref(ab, prefs::startup::definably);
        if (readPref(ab, prefs::startup::isdn))
            startupActivateMonitor();

        const QString group = readPref(ab, prefs::startup::group); // 12
        if (!group.isEmpty() && !isAllGroupsCaption(group)) {
            try {
                AdsTable1->setFilter(QStringLiteral("Gruppe = [") + group + u']');
                AdsTable1->setFiltered(true);
            } catch (const std::exception&) {
                // A stored group the filter cannot carry is dropped without a message.
                AdsTable1->setFiltered(false);
                writePref(ab, prefs::key::group, QString());
            }
        }

        ReadHeaders(); // 13

        m_fields->label(9)->setText(definably); // 14
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
    const IniFile ab(preferencesPath(ApplicationPath));
    const int pos = readPref(ab, prefs::startup::searchbox);
    ComboBox1->setCurrentIndex(pos >= 0 && pos < ComboBox1->count() ? pos : -1);
    FirstShow = false;
}

void TForm1::FormClose() {
    DBAdvGrid1->saveColumnWidths(dataPath(QStringLiteral("col.ini")));
}

void TForm1::ReadHeaders() {
    DBAdvGrid1->ReadHeaders(*lng);
}

void TForm1::startupActivateMonitor() {
    CapiMonitor1->Activate(1, 0); // the result is not examined
}

void TForm1::CapiMonitor1IncomingCall(const QString& CallingPartyNumber,
                                      const QString& CalledPartyNumber, quint16 CipValue,
                                      const QString& CipValueString) {
    Q_UNUSED(CipValue);
    Q_UNUSED(CipValueString);
    // Runs inside the hand-over of the CAPI thread, which drops any error; the
    // steps before an error have taken effect.
    IncomingCall call(*AdsTable1, preferencesPath(ApplicationPath),
                      {lng->GetString(QStringLiteral("call")), lng->GetString(QStringLiteral("to")),
                       lng->GetString(QStringLiteral("nrunknown"))},
                      {[this](const QString& notice) { m_panels->setPanelText(2, notice); },
                       [this]() {
                           if (isMinimized())
                               showNormal();
                           raise();
                           activateWindow();
                       }});
    call.handle(CallingPartyNumber, CalledPartyNumber);
}

void TForm1::Nummernaufbereiten1Click() {
    isdnnumbers();
}

void TForm1::isdnnumbers() {
    m_panels->setPanelText(2, lng->GetString(QStringLiteral("msgprepnumbers")));
    // A long run shows its progress and keeps the window painted; it cannot be
    // cancelled half way, as every record is written in one go.
    QProgressDialog progress(lng->GetString(QStringLiteral("msgprepnumbers")), QString(), 0,
                             std::max(1, AdsTable1->rowCount()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setCancelButton(nullptr);
    prepareAllNumbers(*AdsTable1,
                      [&progress](qsizetype done) { progress.setValue(static_cast<int>(done)); });
    progress.reset();
    m_panels->setPanelText(2, QString());
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
