#include "addressbook/ui/RecordController.h"

#include "addressbook/AddressTable.h"
#include "addressbook/DatabaseError.h"
#include "addressbook/ui/AddressGrid.h"
#include "addressbook/ui/DBControls.h"
#include "addressbook/ui/FieldsPanel.h"
#include "common/CommandGuard.h"
#include "common/LocaleFormat.h"
#include "common/MessageDialog.h"
#include "common/TextFile.h"
#include "lang/Multilanguage.h"
#include "lang/StatusBar.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <array>

namespace kalvendo {

bool isAllGroupsEntry(const QString& caption) {
    static const std::array<QString, 5> all = {
        QStringLiteral("Alle Gruppen"), QStringLiteral("All groups"),
        QStringLiteral("Tous les groupes"), QStringLiteral("Todos los grupos"),
        QStringLiteral("Tutti i gruppi")};
    return std::find(all.begin(), all.end(), caption) != all.end();
}

namespace {
const QString kCaptionName = QStringLiteral("Kalvendo 2009 -   ");
const QString kCaptionFirstName = QStringLiteral("Kalvendo 2009  -   ");

// The table field each position of the search field list selects.
constexpr std::array<const char*, 9> kSearchFields = {
    "Name", "Vorname", "Strasse", "PLZ", "Wohnort", "Telefon", "Mobil", "Email", "Definierbar"};
} // namespace

RecordController::RecordController(Parts parts, QObject* parent)
    : QObject(parent), m_parts(std::move(parts)), m_popup(new QMenu(m_parts.window)) {
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));

    TFieldsPanel* f = m_parts.fields;
    connectCommand(f->edit(1), &QLineEdit::textChanged, this, [this]() { DBEdit1Change(); });
    connectCommand(f->edit(2), &QLineEdit::textChanged, this, [this]() { DBEdit2Change(); });
    connectCommand(f->DateTimePicker1(), &QDateEdit::dateChanged, this,
                   [this]() { DateTimePicker1Change(); });

    TGridPanel* g = m_parts.gridPanel;
    connectCommand(g->button(1), &QPushButton::clicked, this, [this]() { Button1Click(); });
    connectCommand(g->button(2), &QPushButton::clicked, this, [this]() { Button2Click(); });
    connectCommand(g->button(3), &QPushButton::clicked, this, [this]() { Button3Click(); });
    connectCommand(g->button(4), &QPushButton::clicked, this, [this]() { Button4Click(); });
    TDBAdvGrid* view = g->grid();
    connect(view, &TDBAdvGrid::RightClickCell, this, [this, view](const QPoint& pos) {
        guardCommand(view, [this, pos]() { DBAdvGrid1RightClickCell(pos); });
    });

    if (m_parts.searchText)
        m_parts.searchText->installEventFilter(this);
}

void RecordController::connectToolButtons(QAbstractButton* newRecord, QAbstractButton* deleteRecord,
                                          QAbstractButton* save, QAbstractButton* search) {
    connectCommand(newRecord, &QAbstractButton::clicked, this, [this]() { ToolButton1Click(); });
    connectCommand(deleteRecord, &QAbstractButton::clicked, this, [this]() { ToolButton2Click(); });
    connectCommand(save, &QAbstractButton::clicked, this, [this]() { ToolButton3Click(); });
    connectCommand(search, &QAbstractButton::clicked, this, [this]() { ToolButton4Click(); });
    for (QAbstractButton* b : {newRecord, deleteRecord, save, search})
        b->setEnabled(true);
    m_searchButton = search;
}

QString RecordController::text(const char* key) const {
    return m_parts.lng ? m_parts.lng->GetString(QString::fromLatin1(key)) : QString();
}

TDBAdvGrid* RecordController::grid() const {
    return m_parts.gridPanel->grid();
}

void RecordController::showRecordCount(qint64 count) {
    if (m_parts.statusBar)
        m_parts.statusBar->setPanelText(1, QString::number(count));
}

void RecordController::ToolButton1Click() {
    grid()->commitEdit();
    m_parts.table->insert();
}

void RecordController::ToolButton2Click() {
    if (messageDlg(text("msgdeldatarecord"), DialogKind::Confirmation, DialogButtons::YesNo,
                   m_parts.window) != DialogResult::Yes)
        return;
    try {
        grid()->commitEdit();
        m_parts.table->deleteRecord();
        showRecordCount(m_parts.table->recordCount());
    } catch (const EDatabaseError&) {
        messageDlg(text("msgdatabaseempty"), DialogKind::Error, DialogButtons::Ok, m_parts.window);
    }
}

void RecordController::ToolButton3Click() {
    try {
        grid()->commitEdit();
        m_parts.table->post();
        m_parts.table->refresh();
        showRecordCount(m_parts.table->recordCount());
    } catch (const std::exception&) {
        messageDlg(text("msgnndata"), DialogKind::Information, DialogButtons::Ok, m_parts.window);
    }
}

void RecordController::Button1Click() {
    grid()->commitEdit();
    m_parts.table->first();
}

void RecordController::Button2Click() {
    grid()->commitEdit();
    m_parts.table->next();
}

void RecordController::Button3Click() {
    grid()->commitEdit();
    m_parts.table->prior();
}

void RecordController::Button4Click() {
    grid()->commitEdit();
    m_parts.table->last();
}

void RecordController::DBEdit1Change() {
    const TFieldsPanel* f = m_parts.fields;
    m_parts.window->setWindowTitle(kCaptionName + f->edit(2)->text() + u' ' + f->edit(1)->text());
}

void RecordController::DBEdit2Change() {
    const TFieldsPanel* f = m_parts.fields;
    m_parts.window->setWindowTitle(kCaptionFirstName + f->edit(2)->text() + u' ' +
                                   f->edit(1)->text());
}

void RecordController::DateTimePicker1Change() {
    const TFieldsPanel* f = m_parts.fields;
    f->edit(13)->setDisplayText(formatShortDate(f->DateTimePicker1()->date()));
}

void RecordController::ToolButton4Click() {
    const QString wanted = m_parts.searchText->text();
    if (wanted.isEmpty()) {
        messageDlg(text("sstring"), DialogKind::Warning, DialogButtons::Ok, m_parts.window);
        return;
    }
    const int pos = m_parts.searchField ? m_parts.searchField->currentIndex() : -1;
    if (pos < 0 || pos >= int(kSearchFields.size()))
        return;
    grid()->commitEdit();
    m_parts.table->locate(QString::fromLatin1(kSearchFields[size_t(pos)]), wanted,
                          AddressTable::CaseInsensitive | AddressTable::Partial);
}

bool RecordController::Edit1KeyPress(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if (m_searchButton)
        m_searchButton->click();
    else
        ToolButton4Click();
    return true;
}

void RecordController::Edit1Exit() {
    grid()->clearSelection();
}

void RecordController::DBAdvGrid1RightClickCell(const QPoint& globalPos) {
    PopupMenu1Popup(); // a missing group list stops here: no menu
    m_popup->popup(globalPos);
}

void RecordController::PopupMenu1Popup() {
    QStringList lines = readTextLines(m_parts.groupFile ? m_parts.groupFile() : QString());
    lines.prepend(QStringLiteral("-"));
    lines.prepend(text("varGroup"));
    m_popup->clear();
    for (const QString& line : lines) {
        if (line == u'-') {
            m_popup->addSeparator();
            continue;
        }
        // The caption is shown as it stands: '&' is no accelerator marker here.
        QString shown = line;
        shown.replace(u'&', QStringLiteral("&&"));
        QAction* item = m_popup->addAction(shown);
        item->setToolTip(line);
        item->setData(line);
        connectCommand(item, &QAction::triggered, this, [this, item]() { MenuItemClick(item); });
    }
}

void RecordController::MenuItemClick(QAction* item) {
    const QString caption = item->data().toString();
    AddressTable* t = m_parts.table;
    grid()->commitEdit();
    if (isAllGroupsEntry(caption)) {
        t->setFiltered(false);
    } else {
        t->setFilter(QStringLiteral("Gruppe = [") + caption + u']');
        t->setFiltered(true);
    }
    showRecordCount(grid()->model()->rowCount());
}

bool RecordController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_parts.searchText) {
        if (event->type() == QEvent::KeyPress) {
            bool taken = false;
            guardCommand(watched, [&]() { taken = Edit1KeyPress(static_cast<QKeyEvent*>(event)); });
            if (taken)
                return true;
        } else if (event->type() == QEvent::FocusOut) {
            guardCommand(watched, [this]() { Edit1Exit(); });
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kalvendo
