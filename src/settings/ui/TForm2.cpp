#include "settings/ui/TForm2.h"

#include "common/AppPaths.h"
#include "common/CommandGuard.h"
#include "common/IniFile.h"
#include "lang/Multilanguage.h"
#include "lang/Scripts.h"
#include "settings/Preferences.h"
#include "settings/ui/DirectoryEdit.h"
#include "settings/ui/SettingsHost.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kalvendo {

namespace {

// Rows of label and field; a row without a label (a check box) spans both columns.
struct FormRows {
    QGridLayout* grid;
    int row = 0;
    void add(QLabel* label, QWidget* field) {
        if (label) {
            grid->addWidget(label, row, 0);
            grid->addWidget(field, row, 1);
        } else {
            grid->addWidget(field, row, 0, 1, 2);
        }
        ++row;
    }
};

// The position an editable list stores: the chosen entry's, or -1 when the box
// holds typed text that matches no entry.
int chosenPosition(const QComboBox* box) {
    const int i = box->currentIndex();
    if (!box->isEditable() || (i >= 0 && box->itemText(i) == box->currentText()))
        return i;
    return box->findText(box->currentText());
}

void choosePosition(QComboBox* box, int position) {
    box->setCurrentIndex(position >= 0 && position < box->count() ? position : -1);
}

QComboBox* newList(QWidget* parent, const char* name, bool editable, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setEditable(editable);
    // Typed text is a value of its own, never a new entry.
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setCurrentIndex(-1);
    return box;
}

QLabel* newLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QCheckBox* newCheckBox(QWidget* parent, const char* name, const QString& text) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

} // namespace

TForm2::TForm2(SettingsHost& host, QWidget* parent) : QDialog(parent), m_host(host) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Einstellungen - Nutzerdaten"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    setFixedSize(655, 366);

    buildPages();

    // The sync exists before the engine is loaded, so every later language
    // change goes through it to all windows.
    sync = new TMultilanguageSync(this, QStringLiteral("sync"));
    lng = new TMultilanguage(this, QStringLiteral("lng"));
    lng->setScript(scriptForm2());
    connect(lng, &TMultilanguage::OnTranslate, this, [this]() { lngTranslate(); });
    lng->Loaded();

    guardCommand(this, [this]() { FormCreate(); });
}

TForm2::~TForm2() = default;

QGroupBox* TForm2::newPage(const char* name) {
    auto* page = new QGroupBox(this);
    page->setObjectName(QString::fromLatin1(name));
    page->setGeometry(166, 14, 481, 337);
    return page;
}

void TForm2::buildPages() {
    const QString captions[4] = {QStringLiteral("Nutzerdaten"), QStringLiteral("Programm"),
                                 QStringLiteral("Export/ISDN"), QStringLiteral("Gruppen")};
    const QStyle::StandardPixmap icons[4] = {QStyle::SP_FileDialogDetailedView,
                                             QStyle::SP_ComputerIcon, QStyle::SP_DriveNetIcon,
                                             QStyle::SP_FileDialogListView};
    auto* buttons = new QButtonGroup(this);
    buttons->setExclusive(true);
    for (int i = 0; i < 4; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("SpeedButton%1").arg(i + 1));
        b->setText(captions[i]);
        b->setIcon(style()->standardIcon(icons[i]));
        b->setIconSize(QSize(32, 32));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setAutoRaise(true);
        b->setCheckable(true);
        b->setGeometry(8, 14 + i * 84, 150, 80);
        buttons->addButton(b, i);
        m_pageButtons[size_t(i)] = b;
    }
    connect(m_pageButtons[0], &QToolButton::clicked, this, [this]() { SpeedButton1Click(); });
    connectCommand(m_pageButtons[1], &QToolButton::clicked, this,
                   [this]() { SpeedButton2Click(); });
    connect(m_pageButtons[2], &QToolButton::clicked, this, [this]() { SpeedButton3Click(); });
    connect(m_pageButtons[3], &QToolButton::clicked, this, [this]() { SpeedButton4Click(); });

    // Created where they stand, so that the tab order follows the pages.
    auto newEdit = [this](QWidget* page, int n) {
        QLineEdit* edit = m_edits[size_t(n - 1)] = new QLineEdit(page);
        edit->setObjectName(QStringLiteral("Edit%1").arg(n));
        return edit;
    };

    // Page "Nutzerdaten": the sender's data in two columns.
    {
        QGroupBox* page = m_pages[0] = newPage("GroupBox2");
        auto* grid = new QGridLayout(page);
        const char* labels[15] = {"Name:",    "Vorname:",  "Firma:",   "Straße/Nr.:", "PLZ.:",
                                  "Wohnort:", "Land:",     "Telefon:", "Fax:",        "Mobil:",
                                  "E-Mail:",  "Webseite:", "Bank:",    "BLZ.:",       "Konto-Nr.:"};
        for (int i = 0; i < 15; ++i) {
            const int column = i < 8 ? 0 : 3;
            const int row = i < 8 ? i : i - 8;
            QLabel* label = newLabel(page, "", QString::fromUtf8(labels[i]));
            label->setObjectName(QStringLiteral("Label%1").arg(i + 1));
            QLineEdit* edit = newEdit(page, i + 1);
            label->setBuddy(edit);
            grid->addWidget(label, row, column);
            grid->addWidget(edit, row, column + 1);
        }
        grid->setColumnMinimumWidth(2, 12);
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(4, 1);
        grid->setRowStretch(8, 1);
    }

    // Page "Programm".
    {
        QGroupBox* page = m_pages[1] = newPage("GroupBox3");
        auto* grid = new QGridLayout(page);
        grid->setVerticalSpacing(4);
        FormRows rows{grid};
        auto addRow = [&rows](QLabel* label, QWidget* field) { rows.add(label, field); };
        ComboBox1 = newList(page, "ComboBox1", false, {});
        addRow(newLabel(page, "Label16", QStringLiteral("Programmsprache:")), ComboBox1);

        auto* charSets = new QWidget(page);
        auto* charRow = new QHBoxLayout(charSets);
        charRow->setContentsMargins(0, 0, 0, 0);
        Label24 = newLabel(charSets, "Label24", QString());
        Label25 = newLabel(charSets, "Label25", QString());
        charRow->addWidget(Label24);
        charRow->addSpacing(12);
        charRow->addWidget(Label25);
        charRow->addStretch(1);
        addRow(newLabel(page, "Label23", QStringLiteral("OEM/ANSI:")), charSets);

        AdvDirectoryEdit1 = new DirectoryEdit(page);
        AdvDirectoryEdit1->setObjectName(QStringLiteral("AdvDirectoryEdit1"));
        addRow(newLabel(page, "Label17", QStringLiteral("Backup speichern:")), AdvDirectoryEdit1);

        ComboBox2 = newList(page, "ComboBox2", true, {});
        addRow(newLabel(page, "Label18", QStringLiteral("Angezeigte Gruppe:")), ComboBox2);

        ComboBox3 =
            newList(page, "ComboBox3", true,
                    {QStringLiteral("Microsoft Word"), QStringLiteral("Open Office Writer")});
        addRow(newLabel(page, "Label19", QStringLiteral("Textverarbeitung:")), ComboBox3);

        newEdit(page, 16);
        addRow(newLabel(page, "Label20", QStringLiteral("Definierbares Feld:")), m_edits[15]);
        newEdit(page, 17);
        addRow(newLabel(page, "Label21", QStringLiteral("Briefanrede:")), m_edits[16]);
        newEdit(page, 18);
        addRow(newLabel(page, "Label22", QStringLiteral("Grußformel im Brief:")), m_edits[17]);

        CheckBox1 =
            newCheckBox(page, "CheckBox1", QStringLiteral("Bankverbindung in Briefen angeben"));
        addRow(nullptr, CheckBox1);
        CheckBox2 = newCheckBox(page, "CheckBox2",
                                QStringLiteral("Land des Empfängers in Briefen angeben"));
        addRow(nullptr, CheckBox2);
        grid->setRowStretch(rows.row, 1);
        grid->setColumnStretch(1, 1);
    }

    // Page "Export/ISDN".
    {
        QGroupBox* page = m_pages[2] = newPage("GroupBox4");
        auto* grid = new QGridLayout(page);
        grid->setVerticalSpacing(4);
        FormRows rows{grid};
        auto addRow = [&rows](QLabel* label, QWidget* field) { rows.add(label, field); };
        ComboBox4 = newList(
            page, "ComboBox4", true,
            {QStringLiteral("Excel-Dateien (*.xlsx)"), QStringLiteral("Pdf-Dateien    (*.pdf)"),
             QStringLiteral("Csv-Dateien   (*.csv)"), QStringLiteral("Html-Dateien  (*.html)")});
        addRow(newLabel(page, "Label26", QStringLiteral("Dateiexport als:")), ComboBox4);
        ComboBox5 = newList(page, "ComboBox5", true,
                            {QStringLiteral("Adressenliste 1"), QStringLiteral("Adressenliste 2"),
                             QStringLiteral("Geburtstagsliste"), QStringLiteral("Webliste")});
        addRow(newLabel(page, "Label32", QStringLiteral("Report:")), ComboBox5);
        newEdit(page, 19);
        addRow(newLabel(page, "Label27", QStringLiteral("PDF-Titel:")), m_edits[18]);
        newEdit(page, 20);
        addRow(newLabel(page, "Label28", QStringLiteral("PDF-Author:")), m_edits[19]);
        Label30 = newLabel(page, "Label30", QString());
        Label30->setTextInteractionFlags(Qt::TextSelectableByMouse);
        addRow(newLabel(page, "Label29", QStringLiteral("ISDN/Capi-Version:")), Label30);
        CheckBox3 = newCheckBox(page, "CheckBox3", QStringLiteral("ISDN-Funktionen nutzen"));
        addRow(nullptr, CheckBox3);
        CheckBox4 = newCheckBox(page, "CheckBox4", QStringLiteral("ISDN-Log nutzen"));
        addRow(nullptr, CheckBox4);
        AdvDirectoryEdit2 = new DirectoryEdit(page);
        AdvDirectoryEdit2->setObjectName(QStringLiteral("AdvDirectoryEdit2"));
        addRow(newLabel(page, "Label31", QStringLiteral("Log speichern unter:")),
               AdvDirectoryEdit2);
        CheckBox5 =
            newCheckBox(page, "CheckBox5",
                        QStringLiteral("Unbekannte Nummern der Suche zur Verfügung stellen"));
        addRow(nullptr, CheckBox5);
        grid->setRowStretch(rows.row, 1);
        grid->setColumnStretch(1, 1);

        connect(CheckBox3, &QCheckBox::toggled, this, [this](bool on) { CheckBox3Click(on); });
        connect(CheckBox4, &QCheckBox::toggled, this, [this](bool on) { CheckBox4Click(on); });
        connect(CheckBox5, &QCheckBox::toggled, this, [this](bool on) { CheckBox5Click(on); });
    }

    // Page "Gruppen": the group editor, in the stored order.
    {
        QGroupBox* page = m_pages[3] = newPage("GroupBox5");
        auto* grid = new QGridLayout(page);
        newEdit(page, 21);
        Button1 = new QPushButton(QStringLiteral("Neue Gruppe hinzufügen"), page);
        Button1->setObjectName(QStringLiteral("Button1"));
        Button2 = new QPushButton(QStringLiteral("Ausgewählte Gruppe entfernen"), page);
        Button2->setObjectName(QStringLiteral("Button2"));
        // Enter in an edit must not press a group button behind the user's back.
        Button1->setAutoDefault(false);
        Button2->setAutoDefault(false);
        ListBox1 = new QListWidget(page);
        ListBox1->setObjectName(QStringLiteral("ListBox1"));
        ListBox1->setSortingEnabled(false);
        grid->addWidget(m_edits[20], 0, 0);
        grid->addWidget(Button1, 0, 1);
        grid->addWidget(ListBox1, 1, 0, 2, 1);
        grid->addWidget(Button2, 1, 1, Qt::AlignTop);
        grid->setColumnStretch(0, 1);
        connect(Button1, &QPushButton::clicked, this, [this]() { Button1Click(); });
        connect(Button2, &QPushButton::clicked, this, [this]() { Button2Click(); });
    }

    connectCommand(ComboBox1, &QComboBox::activated, this, [this]() { ComboBox1Change(); });

    for (int i = 1; i < 4; ++i)
        m_pages[size_t(i)]->hide();
    m_pageButtons[0]->setChecked(true);
}

QString TForm2::groupFile() const {
    return AppPaths(m_host.applicationPath()).groups();
}

QString TForm2::caption(int pageButton) const {
    return lng->GetString(QStringLiteral("varCaption")) + m_pageButtons[size_t(pageButton)]->text();
}

void TForm2::FormCreate() {
    const AppPaths paths(m_host.applicationPath());
    const IniFile ab(paths.preferences());

    ReadOEMANSI();

    // German first: its texts replace the captions laid out above, in every
    // window. Then the stored language, which switches the whole program.
    updatelanguages();
    if (ComboBox1->count() > 0)
        lng->setLanguage(ComboBox1->itemText(0));
    const QString language = readPref(ab, prefs::dialog::language);
    ComboBox1->setCurrentIndex(
        language.isEmpty() ? -1 : ComboBox1->findText(language, Qt::MatchFixedString));
    ComboBox1Change();

    setWindowTitle(caption(0));

    const DialogPreferences p = DialogPreferences::read(ab);
    for (size_t i = 0; i < p.user.size(); ++i)
        m_edits[i]->setText(p.user[i]);
    AdvDirectoryEdit1->setText(p.dbpath);
    choosePosition(ComboBox3, p.office);
    m_edits[15]->setText(p.definably);
    m_edits[16]->setText(p.adresses);
    m_edits[17]->setText(p.greetings);
    CheckBox1->setChecked(p.letterBank);
    CheckBox2->setChecked(p.letterCountry);
    choosePosition(ComboBox4, p.exportFormat);
    choosePosition(ComboBox5, p.exportPrint);
    m_edits[18]->setText(p.pdfTitle);
    m_edits[19]->setText(p.pdfAuthor);

    // Each setting runs the box's rule when it changes the state, so a stored
    // isdnlog or isdncp ticks the ISDN box too.
    CheckBox3->setChecked(p.isdn);
    CheckBox4->setChecked(p.isdnlog);
    CheckBox5->setChecked(p.isdncp);
    if (!CheckBox3->isChecked()) {
        CheckBox4->setEnabled(false);
        CheckBox5->setEnabled(false);
        AdvDirectoryEdit2->setEnabled(false);
    }

    AdvDirectoryEdit2->setText(p.isdnpath.isEmpty() ? paths.defaultCallLogFolder() : p.isdnpath);

    QStringList groups;
    try {
        groups = readGroupFile(groupFile());
        ListBox1->addItems(groups);
        m_groupsLoaded = true;
    } catch (const std::exception& e) {
        // The rest of the dialog still works; the close leaves group.txt alone.
        handleUncaught(this, e);
    }
    fillDisplayedGroups(groups);

    const IsdnStatus isdn = m_host.isdnStatus();
    if (!isdn.available) {
        Label30->setText(isdn.text);
        CheckBox3->setEnabled(false);
        CheckBox3->setChecked(false);
        CheckBox3Click(false);
        AdvDirectoryEdit2->setEnabled(false);
    } else {
        CheckBox3->setEnabled(true);
        Label30->setText(isdn.text);
    }
}

void TForm2::ReadOEMANSI() {
    const AdsCharSets sets =
        readAdsCharSets(m_host.executableFolder() + QStringLiteral("/adslocal.cfg"));
    Label24->setText(sets.ansi);
    Label25->setText(sets.oem);
}

void TForm2::updatelanguages() {
    const int position = ComboBox1->currentIndex();
    QStringList names;
    TMultilanguageSync::ListLanguages(lng->Script(), names);
    ComboBox1->clear();
    ComboBox1->addItems(names);
    if (position >= 0 && position < ComboBox1->count())
        lng->setLanguage(ComboBox1->itemText(position));
}

void TForm2::ComboBox1Change() {
    QComboBox* search = m_host.searchFieldList();
    const int searchPosition = search ? search->currentIndex() : -1;
    const int reportPosition = chosenPosition(ComboBox5);

    lng->setLanguage(ComboBox1->currentText());
    setWindowTitle(caption(1));

    // The switch replaced both lists' entries; the user's choices stay. This is
    // no choice of the user's, so the lists' own handlers are not run.
    if (search) {
        const QSignalBlocker block(search);
        choosePosition(search, searchPosition);
    }
    const QSignalBlocker block(ComboBox5);
    choosePosition(ComboBox5, reportPosition);
}

void TForm2::lngTranslate() {
    const QString current = lng->Language();
    ComboBox1->setCurrentIndex(
        current.isEmpty() ? -1 : ComboBox1->findText(current, Qt::MatchFixedString));
}

void TForm2::showPage(int index) {
    setWindowTitle(caption(index));
    for (int i = 0; i < 4; ++i)
        m_pages[size_t(i)]->setVisible(i == index);
    m_pageButtons[size_t(index)]->setChecked(true);
}

void TForm2::SpeedButton1Click() {
    showPage(0);
}

void TForm2::SpeedButton2Click() {
    showPage(1);
    fillDisplayedGroups(readGroupFile(groupFile()));
}

void TForm2::SpeedButton3Click() {
    showPage(2);
}

void TForm2::SpeedButton4Click() {
    showPage(3);
}

// The stored groups and the all-groups entry, with the stored choice selected.
// Replaces whatever was chosen here and not yet stored.
void TForm2::fillDisplayedGroups(const QStringList& groups) {
    const QString all = lng->GetString(QStringLiteral("varGroup"));
    ComboBox2->clear();
    ComboBox2->addItems(groups);
    ComboBox2->addItem(all);
    const QString group =
        readPref(IniFile(AppPaths(m_host.applicationPath()).preferences()), prefs::dialog::group);
    if (group.isEmpty() || group == all)
        ComboBox2->setCurrentIndex(ComboBox2->count() - 1);
    else
        ComboBox2->setCurrentIndex(ComboBox2->findText(group, Qt::MatchFixedString));
}

void TForm2::CheckBox3Click(bool checked) {
    if (checked) {
        CheckBox4->setEnabled(true);
        CheckBox5->setEnabled(true);
        AdvDirectoryEdit2->setEnabled(true);
        return;
    }
    CheckBox4->setChecked(false);
    CheckBox4->setEnabled(false);
    CheckBox5->setChecked(false);
    CheckBox5->setEnabled(false);
    AdvDirectoryEdit2->setEnabled(false);
}

// A stored log or search-offer setting implies ISDN; while ISDN is off the user
// cannot tick these boxes, so this arises only while loading.
void TForm2::CheckBox4Click(bool checked) {
    if (checked && !CheckBox3->isChecked()) {
        CheckBox3->setChecked(true);
        AdvDirectoryEdit2->setEnabled(true);
    }
}

void TForm2::CheckBox5Click(bool checked) {
    CheckBox4Click(checked);
}

void TForm2::Button1Click() {
    QLineEdit* edit = m_edits[20];
    if (edit->text().isEmpty())
        return;
    // One group is one line of group.txt, also when a pasted name held breaks.
    QString name = edit->text();
    name.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    name.replace(u'\r', u' ');
    name.replace(u'\n', u' ');
    ListBox1->addItem(name);
    edit->clear();
}

void TForm2::Button2Click() {
    const int row = ListBox1->currentRow();
    if (row < 0 || ListBox1->selectedItems().isEmpty())
        return;
    delete ListBox1->takeItem(row);
}

void TForm2::FormClose() {
    DialogPreferences p;
    p.language = ComboBox1->currentText();
    for (size_t i = 0; i < p.user.size(); ++i)
        p.user[i] = m_edits[i]->text();
    p.dbpath = AdvDirectoryEdit1->text();
    p.group = ComboBox2->currentText();
    p.office = chosenPosition(ComboBox3);
    p.definably = m_edits[15]->text();
    p.adresses = m_edits[16]->text();
    p.greetings = m_edits[17]->text();
    p.letterBank = CheckBox1->isChecked();
    p.letterCountry = CheckBox2->isChecked();
    p.exportFormat = chosenPosition(ComboBox4);
    p.exportPrint = chosenPosition(ComboBox5);
    p.pdfTitle = m_edits[18]->text();
    p.pdfAuthor = m_edits[19]->text();
    p.isdn = CheckBox3->isChecked();
    p.isdnlog = CheckBox4->isChecked();
    p.isdncp = CheckBox5->isChecked();
    p.isdnpath = AdvDirectoryEdit2->text();

    IniFile ab(AppPaths(m_host.applicationPath()).preferences());
    p.write(ab);

    if (!m_groupsLoaded)
        return;
    QStringList groups;
    for (int i = 0; i < ListBox1->count(); ++i)
        groups << ListBox1->item(i)->text();
    writeGroupFile(groupFile(), groups);
    m_host.reloadGroupList();
}

void TForm2::done(int result) {
    // A refused write is reported; the dialog still closes and keeps every
    // value in its controls, so the next close tries again.
    guardCommand(this, [this]() { FormClose(); });
    QDialog::done(result);
}

} // namespace kalvendo
