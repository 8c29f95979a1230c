// The main window's widgets as the designer laid them out. Only this file
// knows their numbering; everything else reaches them by field or by name.
#include "app/TForm1.h"

#include "addressbook/AddressTable.h"
#include "addressbook/ui/AddressGrid.h"
#include "addressbook/ui/FieldsPanel.h"
#include "common/CommandTable.h"
#include "common/StatusBar.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <initializer_list>

namespace kalvendo {

namespace {

QToolButton* addToolButton(QToolBar* bar, const char* name, const QString& hint,
                           QStyle::StandardPixmap icon) {
    auto* b = new QToolButton(bar);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setIcon(bar->style()->standardIcon(icon));
    b->setIconSize(QSize(32, 32));
    b->setFixedSize(46, 46);
    b->setAutoRaise(true);
    b->setEnabled(false); // the command table enables what has code
    bar->addWidget(b);
    return b;
}

// One menu entry; a null name is a separator.
struct Entry {
    const char* name;
    const char* caption;
    const char* shortcut; // portable text ("Ctrl+P"), empty for none
    const char* button;   // its tool button, or null
};
struct Menu {
    const char* name;
    const char* title;
    std::initializer_list<Entry> entries;
};
constexpr Entry kSeparator{nullptr, nullptr, nullptr, nullptr};

} // namespace

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

void TForm1::buildMenu() {
    static const Menu menus[] = {
        {"Programm1",
         "Programm",
         {{"Einstellungen1", "Einstellungen", "F9", "ToolButton10"},
          kSeparator,
          {"Beenden1", "Beenden", "Ctrl+F12", nullptr}}},
        {"Datensatz1",
         "Datensatz",
         {{"NeuerDatensatz1", "Neuer Datensatz", "F2", "ToolButton1"},
          {"Datensatzlschen1", "Datensatz löschen", "F3", "ToolButton2"},
          {"nderungenspeichern1", "Änderungen speichern", "F4", "ToolButton3"},
          kSeparator,
          {"Import1", "Import", "F5", "ToolButton5"},
          {"Export1", "Export", "F6", "ToolButton6"},
          kSeparator,
          {"SucheimInternet1", "Suche im Internet", "F8", "ToolButton8"},
          {"SucheinDatenstzen1", "Suche in Datensätzen", "F10", "ToolButton4"},
          kSeparator,
          {"OutlookExport1", "Outlook-Export ", "F12", nullptr},
          {"AlsvCardspeichern1", "Als vCard speichern…", "", nullptr},
          {"WindowsMobile1", "Windows Mobile", "", nullptr}}},
        {"Datenbank1",
         "Datenbank",
         {{"Sichern1", "Sichern", "F7", "ToolButton7"},
          {"Wiederherstellen1", "Wiederherstellen", "F11", nullptr},
          kSeparator,
          {"Nummernaufbereiten1", "Nummern aufbereiten", "Ctrl+Alt+N", nullptr},
          kSeparator,
          {"Drucken1", "Drucken", "Ctrl+P", "ToolButton9"}}},
        {"Hilfe1",
         "Hilfe",
         {{"Hilfe2", "Hilfe", "F1", nullptr},
          kSeparator,
          {"Errorlogsenden1", "Fehlerprotokoll senden", "Ctrl+Alt+S", nullptr},
          kSeparator,
          {"Datenpacken1", "Daten packen", "", nullptr},
          kSeparator,
          {"Info1", "Info", "", nullptr}}},
    };

    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    for (const Menu& m : menus) {
        QMenu* menu = bar->addMenu(QString::fromUtf8(m.title));
        menu->setObjectName(QString::fromLatin1(m.name));
        for (const Entry& e : m.entries) {
            if (!e.name) {
                menu->addSeparator();
                continue;
            }
            auto* a = new QAction(QString::fromUtf8(e.caption), this);
            a->setObjectName(QString::fromLatin1(e.name));
            a->setShortcut(QKeySequence::fromString(QString::fromLatin1(e.shortcut),
                                                    QKeySequence::PortableText));
            a->setShortcutContext(Qt::WindowShortcut);
            a->setEnabled(false); // the command table enables what has code
            menu->addAction(a);
            if (e.button)
                CommandTable::attachButton(a, toolButton(QString::fromLatin1(e.button)));
        }
    }
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
}

void TForm1::buildStatusBar() {
    m_panels = new TStatusBar(this);
    m_panels->setObjectName(QStringLiteral("StatusBar1"));
    m_panels->addPanel(140, Qt::AlignCenter);
    m_panels->addPanel(40, Qt::AlignCenter);
    m_panels->addPanel(50, Qt::AlignLeft | Qt::AlignVCenter);
    m_panels->setPanelText(int(StatusPanel::Caption), QStringLiteral("Anzahl Datensätze:"));
    setStatusBar(m_panels);
}

} // namespace kalvendo
