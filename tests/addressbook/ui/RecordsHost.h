#pragma once

// A main window built the way the program's frame builds it around the record
// widgets: fields, grid with navigation buttons, search panel, status bar with
// three panels and the main window's language engine set to German.

#include "addressbook/AddressStore.h"
#include "addressbook/AddressTable.h"
#include "addressbook/ui/AddressGrid.h"
#include "addressbook/ui/DBControls.h"
#include "addressbook/ui/FieldsPanel.h"
#include "addressbook/ui/RecordController.h"
#include "common/CommandGuard.h"
#include "common/CommandTable.h"
#include "common/StatusBar.h"
#include "common/TextFile.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "testsupport/AppFolder.h"
#include "testsupport/DialogRecorder.h"
#include "testsupport/Records.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

namespace kalvendo::test {

class RecordsHost {
public:
    explicit RecordsHost(const AppFolder& folder) {
        window.setObjectName(QStringLiteral("Form1"));
        table = new AddressTable(&window);
        table->setObjectName(QStringLiteral("AdsTable1"));

        auto* bar = new QToolBar(&window);
        bar->setObjectName(QStringLiteral("ToolBar1"));
        window.addToolBar(bar);
        auto tool = [&](const char* name) {
            auto* b = new QToolButton(bar);
            b->setObjectName(QString::fromLatin1(name));
            b->setEnabled(false);
            bar->addWidget(b);
            return b;
        };
        newButton = tool("ToolButton1");
        deleteButton = tool("ToolButton2");
        saveButton = tool("ToolButton3");
        edit1 = new QLineEdit(bar);
        edit1->setObjectName(QStringLiteral("Edit1"));
        bar->addWidget(edit1);
        combo1 = new QComboBox(bar);
        combo1->setObjectName(QStringLiteral("ComboBox1"));
        bar->addWidget(combo1);
        searchButton = tool("ToolButton4");

        auto* central = new QWidget(&window);
        auto* split = new QHBoxLayout(central);
        fields = new TFieldsPanel(table, central);
        gridPanel = new TGridPanel(table, central);
        grid = gridPanel->grid();
        split->addWidget(fields);
        split->addWidget(gridPanel, 1);
        window.setCentralWidget(central);

        status = new TStatusBar(&window);
        status->setObjectName(QStringLiteral("StatusBar1"));
        status->addPanel(140, Qt::AlignCenter);
        status->addPanel(40, Qt::AlignCenter);
        status->addPanel(50);
        window.setStatusBar(status);

        lng = new TMultilanguage(&window, QStringLiteral("lng"));
        lng->setScript(scriptForm1());
        lng->Loaded();

        context = {&window, table, lng, status, fields, std::make_shared<AppPaths>(folder.path())};
        controller =
            new RecordController(context, {gridPanel, edit1, combo1, searchButton}, &window);
        CommandTable commands(&window);
        commands.bind("ToolButton1", controller, &RecordController::ToolButton1Click);
        commands.bind("ToolButton2", controller, &RecordController::ToolButton2Click);
        commands.bind("ToolButton3", controller, &RecordController::ToolButton3Click);
        commands.bind("ToolButton4", controller, &RecordController::ToolButton4Click);
        // As at start-up: the widgets exist before the table opens.
        table->connectFolder(folder.data());
        table->open();
        status->setPanelText(1, QString::number(table->recordCount()));
        fields->DBComboBox1()->setItems(
            readTextLines(folder.dataFile(QStringLiteral("group.txt"))));
        grid->ReadHeaders(*lng);

        sync.setLanguage(QStringLiteral("German"));
        combo1->setCurrentIndex(0);
        window.resize(1000, 600);
    }

    void show() {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    QString caption() const { return window.windowTitle(); }
    QString panel1() const { return status->panelText(1); }
    TDBEdit* dbEdit(int n) const {
        return window.findChild<TDBEdit*>(QStringLiteral("DBEdit%1").arg(n));
    }
    QLabel* label(int n) const {
        return window.findChild<QLabel*>(QStringLiteral("Label%1").arg(n));
    }
    QToolButton* speedButton(int n) const {
        return window.findChild<QToolButton*>(QStringLiteral("SpeedButton%1").arg(n));
    }

    QMainWindow window;
    AddressTable* table = nullptr;
    TFieldsPanel* fields = nullptr;
    TGridPanel* gridPanel = nullptr;
    TDBAdvGrid* grid = nullptr;
    TStatusBar* status = nullptr;
    QLineEdit* edit1 = nullptr;
    QComboBox* combo1 = nullptr;
    QToolButton* newButton = nullptr;
    QToolButton* deleteButton = nullptr;
    QToolButton* saveButton = nullptr;
    QToolButton* searchButton = nullptr;
    TMultilanguage* lng = nullptr;
    TMultilanguageSync sync;
    MainWindowContext context;
    RecordController* controller = nullptr;
};

} // namespace kalvendo::test
