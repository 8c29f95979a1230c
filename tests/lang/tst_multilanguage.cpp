#include "LangTestUtil.h"

#include "common/StatusBar.h"
#include "lang/Multilanguage.h"
#include "lang/PropertyRegistry.h"

#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

using namespace kalvendo;

namespace {

QString s(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QStringList lines(const char* utf8) {
    return s(utf8).split(u'\n');
}

// A main window with one control of every kind the engine sets.
struct MainForm {
    QMainWindow window;
    QMenu* menu;
    QAction* search;
    QToolButton* toolButton;
    QLabel* label;
    QPushButton* button;
    QComboBox* combo;
    QTableView* grid;
    QStandardItemModel model{0, 16};
    QGroupBox* group;
    QCheckBox* check;
    QLineEdit* edit;
    TStatusBar* status;
    TMultilanguage* lng;

    explicit MainForm(const QStringList& script) {
        window.setObjectName(QStringLiteral("Form1"));
        window.setWindowTitle(QStringLiteral("design"));
        menu = window.menuBar()->addMenu(QStringLiteral("design"));
        menu->setObjectName(QStringLiteral("Programm1"));
        search = menu->addAction(QStringLiteral("design"));
        search->setObjectName(QStringLiteral("SucheimInternet1"));
        auto* bar = window.addToolBar(QStringLiteral("bar"));
        bar->setObjectName(QStringLiteral("ToolBar1"));
        toolButton = new QToolButton(bar);
        toolButton->setObjectName(QStringLiteral("ToolButton1"));
        bar->addWidget(toolButton);

        auto* central = new QWidget(&window);
        auto* layout = new QVBoxLayout(central);
        label = new QLabel(QStringLiteral("design"), central);
        label->setObjectName(QStringLiteral("Label1"));
        button = new QPushButton(QStringLiteral("design"), central);
        button->setObjectName(QStringLiteral("Button1"));
        combo = new QComboBox(central);
        combo->setObjectName(QStringLiteral("ComboBox1"));
        grid = new QTableView(central);
        grid->setObjectName(QStringLiteral("DBAdvGrid1"));
        grid->setModel(&model);
        group = new QGroupBox(QStringLiteral("design"), central);
        group->setObjectName(QStringLiteral("GroupBox1"));
        check = new QCheckBox(QStringLiteral("design"), group); // nested one level deeper
        check->setObjectName(QStringLiteral("CheckBox1"));
        edit = new QLineEdit(central);
        edit->setObjectName(QStringLiteral("Edit1"));
        for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(button),
                           static_cast<QWidget*>(combo), static_cast<QWidget*>(grid),
                           static_cast<QWidget*>(group), static_cast<QWidget*>(edit)})
            layout->addWidget(w);
        window.setCentralWidget(central);

        status = new TStatusBar(&window);
        status->setObjectName(QStringLiteral("StatusBar1"));
        status->addPanel(140, Qt::AlignCenter);
        status->addPanel(40, Qt::AlignCenter);
        status->addPanel(50);
        window.setStatusBar(status);

        lng = new TMultilanguage(&window, QStringLiteral("lng"));
        lng->setScript(script);
        lng->Loaded();
    }
};

// A second window, in the way the settings dialog carries its engine and the sync.
struct Dialog {
    QDialog window;
    QLabel* label;
    TMultilanguage* lng;

    explicit Dialog(const QStringList& script, bool withSync) {
        window.setObjectName(QStringLiteral("Form2"));
        label = new QLabel(QStringLiteral("design"), &window);
        label->setObjectName(QStringLiteral("Label1"));
        lng = new TMultilanguage(&window, QStringLiteral("lng"));
        if (withSync)
            new TMultilanguageSync(&window, QStringLiteral("sync"));
        lng->setScript(script);
        lng->Loaded();
    }
};

const char* const kMainScript = R"(; the main window
[German]
Caption = 'Adressbuch'
Programm1.Caption = 'Programm'
Sucheiminternet1.Caption = 'Suche im Internet'
ToolButton1.Hint = 'Neuer Datensatz (F2)'
Label1.Caption = Name:
; Label1.Caption = 'commented out'
Label1.Caption no equals sign
Button1.Caption = 'Erster Datensatz'
GroupBox1.Caption = 'Gruppe'
GroupBox1.CheckBox1.Caption = 'Bank'
StatusBar1.Panels[0].Text = 'Anzahl Datensätze:'
DBAdvGrid1.Columns[1].Header = 'Name'
DBAdvGrid1.Columns[15].Header = 'Gruppe'
ComboBox1.Items = 'Name\nVorname'
errormsg = 'Programmfehler Kalvendo (log):'
[English]
Caption = 'Address book'
Programm1.Caption = 'Program'
Sucheiminternet1.Caption = 'Internet search'
ToolButton1.Hint = 'New datarecord (F2)'
Label1.Caption = 'Last name:'
; Label1.Caption = 'commented out'
Label1.Caption no equals sign
Button1.Caption = 'First datarecord'
GroupBox1.Caption = 'Group'
GroupBox1.CheckBox1.Caption = 'Bank'
StatusBar1.Panels[0].Text = 'Number of datarecords:'
DBAdvGrid1.Columns[1].Header = 'Last name'
DBAdvGrid1.Columns[15].Header = 'Group'
ComboBox1.Items = 'Last Name\nFirst Name'
errormsg = 'Error Kalvendo (log):'
[Broken]
Label1.Caption = 'applied'
StatusBar1.Panels[3].Text = 'beyond the end'
Button1.Caption = 'not reached'
errormsg = 'selected all the same')";

const char* const kDialogScript = R"([German]
Label1.Caption = 'Vorname:'
varGroup = 'Alle Gruppen'
[English]
Label1.Caption = 'First name:'
varGroup = 'All groups'
[Broken]
Label1.Caption = 'not reached either')";

} // namespace

class TestMultilanguage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup();
    void appliesEveryKind();
    void sectionNameIgnoresCase();
    void comboItemsReplaceSelection();
    void skipsUnsuitableLines_data();
    void skipsUnsuitableLines();
    void indexBeyondEndRaises_data();
    void indexBeyondEndRaises();
    void nothingBeforeLoaded();
    void withoutSyncOnlyOwnWindow();
    void syncSwitchesAndRestoresAll();
    void unknownLanguageEmptiesNamedStrings_data();
    void unknownLanguageEmptiesNamedStrings();
    void errorStopsSyncWalk();
    void languageChangedInsideTranslation();
    void destroyedEngineLeavesRegistry();
    void findComponentOrder();
    void registryIsExtensible();
};

void TestMultilanguage::cleanup() {
    // Every test builds its own windows; none may leak engines into the next.
    QVERIFY(TMultilanguage::engines().isEmpty());
    QVERIFY(!TMultilanguageSync::current());
}

void TestMultilanguage::appliesEveryKind() {
    MainForm f(lines(kMainScript));
    QSignalSpy translated(f.lng, &TMultilanguage::OnTranslate);
    f.lng->setLanguage(QStringLiteral("German"));
    QCOMPARE(translated.count(), 1);
    QCOMPARE(translated.at(0).at(0).value<TMultilanguage*>(), f.lng);

    QCOMPARE(f.window.windowTitle(), QStringLiteral("Adressbuch"));
    QCOMPARE(f.menu->title(), QStringLiteral("Programm"));
    QCOMPARE(f.search->text(), QStringLiteral("Suche im Internet")); // key spelt otherwise
    QCOMPARE(f.toolButton->toolTip(), QStringLiteral("Neuer Datensatz (F2)"));
    QCOMPARE(f.label->text(), QStringLiteral("Name:")); // unquoted; comment did not apply
    QCOMPARE(f.button->text(), QStringLiteral("Erster Datensatz"));
    QCOMPARE(f.group->title(), QStringLiteral("Gruppe"));
    QCOMPARE(f.check->text(), QStringLiteral("Bank"));
    QCOMPARE(f.status->panelText(0), s("Anzahl Datensätze:"));
    QCOMPARE(f.status->panelText(1), QString());
    QCOMPARE(f.model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Name"));
    QCOMPARE(f.model.headerData(15, Qt::Horizontal).toString(), QStringLiteral("Gruppe"));
    QCOMPARE(f.combo->count(), 2);
    QCOMPARE(f.combo->itemText(1), QStringLiteral("Vorname"));
    // errormsg names no property of the window, so it sets nothing, yet it can be looked up.
    QCOMPARE(f.lng->GetString(QStringLiteral("errormsg")),
             QStringLiteral("Programmfehler Kalvendo (log):"));
    QCOMPARE(f.lng->GetString(QStringLiteral("ErrorMsg")), QString());
    QCOMPARE(f.lng->GetString(QStringLiteral("Label1.Caption")), QStringLiteral("Name:"));
}

void TestMultilanguage::sectionNameIgnoresCase() {
    MainForm f(lines(kMainScript));
    f.lng->setLanguage(QStringLiteral("eNgLiSh"));
    QCOMPARE(f.label->text(), QStringLiteral("Last name:"));
    QCOMPARE(f.lng->Language(), QStringLiteral("eNgLiSh"));
}

void TestMultilanguage::comboItemsReplaceSelection() {
    MainForm f(lines(kMainScript));
    f.lng->setLanguage(QStringLiteral("German"));
    f.combo->setCurrentIndex(1);
    QSignalSpy changed(f.combo, &QComboBox::currentIndexChanged);
    f.lng->setLanguage(QStringLiteral("English"));
    QCOMPARE(f.combo->count(), 2);
    QCOMPARE(f.combo->itemText(0), QStringLiteral("Last Name"));
    QCOMPARE(f.combo->itemText(1), QStringLiteral("First Name"));
    QCOMPARE(f.combo->currentIndex(), -1);
    QCOMPARE(changed.count(), 0); // not a choice of the user's
}

void TestMultilanguage::skipsUnsuitableLines_data() {
    QTest::addColumn<QString>("key");
    QTest::newRow("unknown component") << QStringLiteral("Label99.Caption");
    QTest::newRow("unknown property") << QStringLiteral("Label1.Colour");
    QTest::newRow("named string") << QStringLiteral("msgnndata");
    QTest::newRow("items of a label") << QStringLiteral("Label1.Items");
    QTest::newRow("caption of an edit field") << QStringLiteral("Edit1.Caption");
    QTest::newRow("collection without index") << QStringLiteral("StatusBar1.Panels.Text");
    QTest::newRow("index not a number") << QStringLiteral("StatusBar1.Panels[x].Text");
    QTest::newRow("unknown item property") << QStringLiteral("DBAdvGrid1.Columns[1].Width");
    QTest::newRow("collection of another kind") << QStringLiteral("Label1.Panels[0].Text");
    QTest::newRow("property as path") << QStringLiteral("Label1.Caption.Text");
    QTest::newRow("empty segment") << QStringLiteral("StatusBar1..Text");
    QTest::newRow("component in another window") << QStringLiteral("Form2.Label1.Caption");
}

void TestMultilanguage::skipsUnsuitableLines() {
    QFETCH(QString, key);
    MainForm f(lines(kMainScript));
    Dialog other(QStringList(), false);
    other.window.setParent(&f.window, Qt::Dialog); // a separate window below the main one
    f.lng->setLanguage(QStringLiteral("German"));
    const QStringList before = snapshotTexts(&f.window);

    QVERIFY(!PropertyRegistry::standard().apply(&f.window, key, QStringLiteral("changed")));
    QCOMPARE(snapshotTexts(&f.window), before);

    // Within a translation the line is passed over and the next one still applies.
    f.lng->setScript({QStringLiteral("[German]"), key + QStringLiteral(" = 'changed'"),
                      QStringLiteral("Button1.Caption = 'after'")});
    QCOMPARE(f.button->text(), QStringLiteral("after"));
    QCOMPARE(other.label->text(), QStringLiteral("design"));
}

void TestMultilanguage::indexBeyondEndRaises_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("message");
    QTest::newRow("panel") << QStringLiteral("StatusBar1.Panels[5].Text")
                           << s("Listenindex überschreitet das Maximum (5)");
    QTest::newRow("first panel past the end") << QStringLiteral("StatusBar1.Panels[3].Text")
                                              << s("Listenindex überschreitet das Maximum (3)");
    QTest::newRow("negative") << QStringLiteral("StatusBar1.Panels[-1].Text")
                              << s("Listenindex überschreitet das Maximum (-1)");
    QTest::newRow("column") << QStringLiteral("DBAdvGrid1.Columns[16].Header")
                            << s("Listenindex überschreitet das Maximum (16)");
    QTest::newRow("before the property is checked")
        << QStringLiteral("DBAdvGrid1.Columns[20].Bogus")
        << s("Listenindex überschreitet das Maximum (20)");
}

void TestMultilanguage::indexBeyondEndRaises() {
    QFETCH(QString, key);
    QFETCH(QString, message);
    MainForm f(lines(kMainScript));
    f.lng->setLanguage(QStringLiteral("German"));
    QSignalSpy translated(f.lng, &TMultilanguage::OnTranslate);
    // Assigning the script translates at once.
    QVERIFY_THROWS_EXCEPTION(
        EListError,
        f.lng->setScript({QStringLiteral("[German]"), QStringLiteral("Label1.Caption = 'applied'"),
                          key + QStringLiteral(" = 'x'"),
                          QStringLiteral("Button1.Caption = 'not reached'"),
                          QStringLiteral("errormsg = 'selected'")}));
    f.label->setText(QStringLiteral("reset"));
    try {
        f.lng->Translate();
        QFAIL("no error raised");
    } catch (const EListError& e) {
        QCOMPARE(e.message(), message);
        QCOMPARE(QString::fromLatin1(e.className()), QStringLiteral("EListError"));
    }
    QCOMPARE(f.label->text(), QStringLiteral("applied"));
    QCOMPARE(f.button->text(), QStringLiteral("Erster Datensatz"));
    QCOMPARE(translated.count(), 0);
    QCOMPARE(f.lng->GetString(QStringLiteral("errormsg")), QStringLiteral("selected"));
}

void TestMultilanguage::nothingBeforeLoaded() {
    QMainWindow window;
    auto* label = new QLabel(QStringLiteral("design"), &window);
    label->setObjectName(QStringLiteral("Label1"));
    TMultilanguage lng(&window);
    lng.setScript(lines(kMainScript));
    lng.setLanguage(QStringLiteral("English"));
    QCOMPARE(label->text(), QStringLiteral("design"));
    QCOMPARE(lng.GetString(QStringLiteral("errormsg")), QString());
    lng.Loaded();
    QCOMPARE(label->text(), QStringLiteral("Last name:"));
    QCOMPARE(lng.GetString(QStringLiteral("errormsg")), QStringLiteral("Error Kalvendo (log):"));
}

void TestMultilanguage::withoutSyncOnlyOwnWindow() {
    MainForm f(lines(kMainScript));
    Dialog d(lines(kDialogScript), false);
    d.lng->setLanguage(QStringLiteral("English"));
    QCOMPARE(d.label->text(), QStringLiteral("First name:"));
    QCOMPARE(f.label->text(), QStringLiteral("design"));
    QCOMPARE(f.lng->Language(), QString());
}

void TestMultilanguage::syncSwitchesAndRestoresAll() {
    MainForm f(lines(kMainScript)); // created first, before any sync: stays as designed
    QCOMPARE(f.label->text(), QStringLiteral("design"));
    Dialog d(lines(kDialogScript), true);
    QCOMPARE(f.label->text(), QStringLiteral("design")); // the sync's language is still empty

    QStringList order;
    for (TMultilanguage* e : {f.lng, d.lng})
        connect(e, &TMultilanguage::OnTranslate, e,
                [&order](TMultilanguage* sender) { order << sender->parent()->objectName(); });

    d.lng->setLanguage(QStringLiteral("German"));
    QCOMPARE(order, (QStringList{QStringLiteral("Form1"), QStringLiteral("Form2")}));
    QCOMPARE(f.lng->Language(), QStringLiteral("German")); // the sync's, not its own (empty)
    QCOMPARE(f.lng->ownLanguage(), QString());
    QCOMPARE(d.lng->GetString(QStringLiteral("varGroup")), QStringLiteral("Alle Gruppen"));
    const QStringList germanMain = snapshotTexts(&f.window);
    const QStringList germanDialog = snapshotTexts(&d.window);

    f.lng->setLanguage(QStringLiteral("English")); // any engine switches every window
    QCOMPARE(f.window.windowTitle(), QStringLiteral("Address book"));
    QCOMPARE(f.search->text(), QStringLiteral("Internet search"));
    QCOMPARE(f.toolButton->toolTip(), QStringLiteral("New datarecord (F2)"));
    QCOMPARE(f.status->panelText(0), QStringLiteral("Number of datarecords:"));
    QCOMPARE(f.model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Last name"));
    QCOMPARE(f.combo->itemText(0), QStringLiteral("Last Name"));
    QCOMPARE(d.label->text(), QStringLiteral("First name:"));
    QCOMPARE(d.lng->GetString(QStringLiteral("varGroup")), QStringLiteral("All groups"));
    QVERIFY(snapshotTexts(&f.window) != germanMain);

    d.lng->setLanguage(QStringLiteral("German"));
    QCOMPARE(snapshotTexts(&f.window), germanMain);
    QCOMPARE(snapshotTexts(&d.window), germanDialog);
    QCOMPARE(order.size(), 6);
}

void TestMultilanguage::unknownLanguageEmptiesNamedStrings_data() {
    QTest::addColumn<QString>("language");
    QTest::newRow("unknown") << QStringLiteral("Klingon");
    QTest::newRow("empty") << QString();
}

void TestMultilanguage::unknownLanguageEmptiesNamedStrings() {
    QFETCH(QString, language);
    MainForm f(lines(kMainScript));
    Dialog d(lines(kDialogScript), true);
    d.lng->setLanguage(QStringLiteral("German"));
    const QStringList german = snapshotTexts(&f.window);

    d.lng->setLanguage(language);
    QCOMPARE(f.lng->GetString(QStringLiteral("errormsg")), QString());
    QCOMPARE(d.lng->GetString(QStringLiteral("varGroup")), QString());
    QVERIFY(f.lng->selectedLines().isEmpty());
    QCOMPARE(snapshotTexts(&f.window), german); // no property changes
}

void TestMultilanguage::errorStopsSyncWalk() {
    MainForm f(lines(kMainScript));
    Dialog d(lines(kDialogScript), true);
    d.lng->setLanguage(QStringLiteral("German"));
    QVERIFY_THROWS_EXCEPTION(EListError, d.lng->setLanguage(QStringLiteral("Broken")));
    QCOMPARE(f.label->text(), QStringLiteral("applied"));
    QCOMPARE(f.button->text(), QStringLiteral("Erster Datensatz"));
    QCOMPARE(d.label->text(), QStringLiteral("Vorname:")); // not visited after the error
    QCOMPARE(d.lng->Language(), QStringLiteral("Broken"));

    // The failed walk leaves nothing behind that blocks the next switch.
    d.lng->setLanguage(QStringLiteral("English"));
    QCOMPARE(f.label->text(), QStringLiteral("Last name:"));
    QCOMPARE(d.label->text(), QStringLiteral("First name:"));
}

void TestMultilanguage::languageChangedInsideTranslation() {
    MainForm f(lines(kMainScript));
    Dialog d(lines(kDialogScript), true);
    int calls = 0;
    // A handler that writes the language (as a language list's change handler may when the
    // list follows the language) must neither recurse nor be lost.
    connect(f.lng, &TMultilanguage::OnTranslate, f.lng, [&](TMultilanguage* e) {
        ++calls;
        if (e->Language() == QStringLiteral("German"))
            e->setLanguage(QStringLiteral("English"));
        else
            e->setLanguage(e->Language());
    });
    d.lng->setLanguage(QStringLiteral("German"));
    QCOMPARE(f.label->text(), QStringLiteral("Last name:"));
    QCOMPARE(d.label->text(), QStringLiteral("First name:"));
    QCOMPARE(calls, 2);
}

void TestMultilanguage::destroyedEngineLeavesRegistry() {
    auto main = std::make_unique<MainForm>(lines(kMainScript));
    Dialog d(lines(kDialogScript), true);
    QCOMPARE(TMultilanguage::engines(), (QList<TMultilanguage*>{main->lng, d.lng}));
    main.reset();
    QCOMPARE(TMultilanguage::engines(), QList<TMultilanguage*>{d.lng});
    d.lng->setLanguage(QStringLiteral("English"));
    QCOMPARE(d.label->text(), QStringLiteral("First name:"));
}

void TestMultilanguage::findComponentOrder() {
    QWidget root;
    auto* holder = new QWidget(&root);
    auto* deep = new QLabel(holder);
    deep->setObjectName(QStringLiteral("Label1"));
    auto* direct = new QLabel(&root); // created later, but a direct child
    direct->setObjectName(QStringLiteral("LABEL1"));
    auto* nested = new QWidget(holder);
    auto* deeper = new QLabel(nested);
    deeper->setObjectName(QStringLiteral("Label2"));
    auto* sibling = new QLabel(&root);
    sibling->setObjectName(QStringLiteral("label2"));

    QCOMPARE(findComponent(&root, u"label1"), direct);
    QCOMPARE(findComponent(holder, u"Label1"), deep);
    QCOMPARE(findComponent(&root, u"LABEL2"), sibling);
    QCOMPARE(findComponent(holder, u"label2"), deeper); // depth-first below holder
    QCOMPARE(findComponent(&root, u"Label3"), nullptr);
}

void TestMultilanguage::registryIsExtensible() {
    PropertyRegistry registry;
    addStandardAdapters(registry);
    registry.addProperty(&QSpinBox::staticMetaObject, QStringLiteral("Suffix"),
                         [](QObject* o, const QString& v) {
                             qobject_cast<QSpinBox*>(o)->setSuffix(v);
                             return true;
                         });
    // A more derived class's adapter wins over the one of its base class.
    registry.addProperty(&QPushButton::staticMetaObject, QStringLiteral("Caption"),
                         [](QObject* o, const QString& v) {
                             qobject_cast<QPushButton*>(o)->setText(v.toUpper());
                             return true;
                         });

    MainForm f(QStringList{});
    auto* spin = new QSpinBox(f.window.centralWidget());
    spin->setObjectName(QStringLiteral("SpinEdit1"));
    f.lng->setRegistry(&registry);
    f.lng->setScript({QStringLiteral("[German]"), QStringLiteral("spinedit1.suffix = ' Tage'"),
                      QStringLiteral("Button1.caption = 'vor'"),
                      QStringLiteral("CheckBox1.Caption = 'vor'")});
    f.lng->setLanguage(QStringLiteral("German"));
    QCOMPARE(spin->suffix(), QStringLiteral(" Tage"));
    QCOMPARE(f.button->text(), QStringLiteral("VOR"));
    QCOMPARE(f.check->text(), QStringLiteral("vor"));
    QVERIFY(!PropertyRegistry::standard().apply(&f.window, QStringLiteral("SpinEdit1.Suffix"),
                                                QStringLiteral("x")));
}

QTEST_MAIN(TestMultilanguage)
#include "tst_multilanguage.moc"
