#include "addressbook/ui/RecordController.h"

#include "addressbook/AddressTable.h"
#include "addressbook/DatabaseError.h"
#include "addressbook/GroupFilter.h"
#include "addressbook/ui/AddressGrid.h"
#include "addressbook/ui/DBControls.h"
#include "addressbook/ui/FieldsPanel.h"
#include "common/CommandGuard.h"
#include "common/LocaleFormat.h"
#include "common/MessageDialog.h"
#include "common/TextFile.h"

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

namespace {
// The table field each position of the search field list selects.
constexpr std::array<const char*, 9> kSearchFields = {
    "Name", "Vorname", "Strasse", "PLZ", "Wohnort", "Telefon", "Mobil", "Email", "Definierbar"};
} // namespace

RecordController::RecordController(const MainWindowContext& context, Widgets widgets,
                                   QObject* parent)
    : QObject(parent), m_ctx(context), m_w(widgets), m_popup(new QMenu(m_ctx.window)) {
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));

    TFieldsPanel* f = m_ctx.fields;
    connectCommand(f->editFor(fName), &QLineEdit::textChanged, this, [this]() { DBEdit1Change(); });
    connectCommand(f->editFor(fVorname), &QLineEdit::textChanged, this,
                   [this]() { DBEdit2Change(); });
    connectCommand(f->DateTimePicker1(), &QDateEdit::dateChanged, this,
                   [this]() { DateTimePicker1Change(); });

    TGridPanel* g = m_w.gridPanel;
    connectCommand(g->button(1), &QPushButton::clicked, this, [this]() { Button1Click(); });
    connectCommand(g->button(2), &QPushButton::clicked, this, [this]() { Button2Click(); });
    connectCommand(g->button(3), &QPushButton::clicked, this, [this]() { Button3Click(); });
    connectCommand(g->button(4), &QPushButton::clicked, this, [this]() { Button4Click(); });
    TDBAdvGrid* view = g->grid();
    connect(view, &TDBAdvGrid::RightClickCell, this, [this, view](const QPoint& pos) {
        guardCommand(view, [this, pos]() { DBAdvGrid1RightClickCell(pos); });
    });

    if (m_w.searchText)
        m_w.searchText->installEventFilter(this);
}

TDBAdvGrid* RecordController::grid() const {
    return m_w.gridPanel->grid();
}

void RecordController::showRecordCount(qint64 count) {
    m_ctx.showStatus(StatusPanel::RecordCount, QString::number(count));
}

void RecordController::ToolButton1Click() {
    grid()->commitEdit();
    m_ctx.table->insert();
}

void RecordController::ToolButton2Click() {
    if (messageDlg(m_ctx.text("msgdeldatarecord"), DialogKind::Confirmation, DialogButtons::YesNo,
                   m_ctx.window) != DialogResult::Yes)
        return;
    try {
        grid()->commitEdit();
        m_ctx.table->deleteRecord();
        showRecordCount(m_ctx.table->recordCount());
    } catch (const EDatabaseError&) {
        messageDlg(m_ctx.text("msgdatabaseempty"), DialogKind::Error, DialogButtons::Ok,
                   m_ctx.window);
    }
}

void RecordController::ToolButton3Click() {
    try {
        grid()->commitEdit();
        m_ctx.table->post();
        m_ctx.table->refresh();
        showRecordCount(m_ctx.table->recordCount());
    } catch (const std::exception&) {
        messageDlg(m_ctx.text("msgnndata"), DialogKind::Information, DialogButtons::Ok,
                   m_ctx.window);
    }
}

void RecordController::Button1Click() {
    grid()->commitEdit();
    m_ctx.table->first();
}

void RecordController::Button2Click() {
    grid()->commitEdit();
    m_ctx.table->next();
}

void RecordController::Button3Click() {
    grid()->commitEdit();
    m_ctx.table->prior();
}

void RecordController::Button4Click() {
    grid()->commitEdit();
    m_ctx.table->last();
}

void RecordController::DBEdit1Change() {
    // The two captions differ in their blanks, as they always have.
    const TFieldsPanel* f = m_ctx.fields;
    m_ctx.setCaption(productName() + QStringLiteral(" -   ") + f->editFor(fVorname)->text() + u' ' +
                     f->editFor(fName)->text());
}

void RecordController::DBEdit2Change() {
    const TFieldsPanel* f = m_ctx.fields;
    m_ctx.setCaption(productName() + QStringLiteral("  -   ") + f->editFor(fVorname)->text() +
                     u' ' + f->editFor(fName)->text());
}

void RecordController::DateTimePicker1Change() {
    const TFieldsPanel* f = m_ctx.fields;
    f->editFor(fGeburtstag)->setDisplayText(formatShortDate(f->DateTimePicker1()->date()));
}

void RecordController::ToolButton4Click() {
    const QString wanted = m_w.searchText->text();
    if (wanted.isEmpty()) {
        messageDlg(m_ctx.text("sstring"), DialogKind::Warning, DialogButtons::Ok, m_ctx.window);
        return;
    }
    const int pos = m_w.searchField ? m_w.searchField->currentIndex() : -1;
    if (pos < 0 || pos >= int(kSearchFields.size()))
        return;
    grid()->commitEdit();
    m_ctx.table->locate(QString::fromLatin1(kSearchFields[size_t(pos)]), wanted,
                        AddressTable::CaseInsensitive | AddressTable::Partial);
}

bool RecordController::Edit1KeyPress(QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    if (m_w.searchButton)
        m_w.searchButton->click();
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
    QStringList lines = readTextLines(m_ctx.paths().groups());
    lines.prepend(QStringLiteral("-"));
    lines.prepend(m_ctx.text("varGroup"));
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
    grid()->commitEdit();
    setGroupFilter(*m_ctx.table, caption); // an unusable name is reported by the guard
    showRecordCount(grid()->model()->rowCount());
}

bool RecordController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_w.searchText) {
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
