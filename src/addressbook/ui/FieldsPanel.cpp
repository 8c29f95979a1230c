#include "addressbook/ui/FieldsPanel.h"

#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "addressbook/ui/DBControls.h"
#include "common/LocaleFormat.h"

#include <QDate>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace kalvendo {

namespace {
// The field each DBEdit<n> shows.
constexpr std::array<int, 15> kEditField = {-1,   fName,    fVorname,  fStrasse,    fNr,
                                            fPLZ, fWohnort, fLand,     fTelefon,    fMobil,
                                            fFax, fEmail,   fHomepage, fGeburtstag, fDefinierbar};
// The field each Label<n> stands in front of (-1: none or no such label).
constexpr std::array<int, 16> kLabelField = {
    -1,   fName,        fVorname, fStrasse,  fPLZ,        fLand, fTelefon, fMobil,
    fFax, fDefinierbar, fEmail,   fHomepage, fGeburtstag, -1,    -1,       fGruppe};

QString name(const char* prefix, int n) {
    return QString::fromLatin1(prefix) + QString::number(n);
}
} // namespace

TFieldsPanel::TFieldsPanel(AddressTable* table, QWidget* parent) : QWidget(parent), m_table(table) {
    setObjectName(QStringLiteral("FieldsPanel"));
    for (int n = 1; n <= 14; ++n) {
        const int field = kEditField[size_t(n)];
        m_edits[size_t(n)] = new TDBEdit(table, field, this);
        m_edits[size_t(n)]->setObjectName(name("DBEdit", n));
        m_editByField[size_t(field)] = m_edits[size_t(n)];
    }
    const std::array<const char*, 16> captions = {
        "",        "Name:",     "Vorname:",      "Straße/Nr.:", "PLZ./Wohnort:",
        "Land:",   "Telefon:",  "Mobil:",        "Telefax::",   "",
        "E-Mail:", "Webseite:", "Geburtsdatum:", nullptr,       nullptr,
        "Gruppe:"};
    for (int n = 1; n <= 15; ++n) {
        if (!captions[size_t(n)])
            continue;
        m_labels[size_t(n)] = new QLabel(QString::fromUtf8(captions[size_t(n)]), this);
        m_labels[size_t(n)]->setObjectName(name("Label", n));
        if (const int field = kLabelField[size_t(n)]; field >= 0)
            m_labelByField[size_t(field)] = m_labels[size_t(n)];
    }
    const std::array<const char*, 5> hints = {"", "Brief verfassen an...", "E-Mail verfassen an...",
                                              "Internetseite besuchen...",
                                              "Adresse in Google Maps suchen"};
    const std::array<const char*, 5> marks = {"", "\u2709", "@", "www", "\u2316"};
    for (int n = 1; n <= 4; ++n) {
        auto* b = new QToolButton(this);
        b->setObjectName(name("SpeedButton", n));
        b->setToolTip(QString::fromUtf8(hints[size_t(n)]));
        b->setText(QString::fromUtf8(marks[size_t(n)]));
        b->setAutoRaise(true);
        b->setFixedSize(25, 22);
        // Their commands belong to the letter and link features.
        b->setEnabled(false);
        m_speed[size_t(n)] = b;
    }

    m_combo = new TDBComboBox(table, fGruppe, this);
    m_combo->setObjectName(QStringLiteral("DBComboBox1"));
    m_date = new QDateEdit(this);
    m_date->setObjectName(QStringLiteral("DateTimePicker1"));
    m_date->setCalendarPopup(true);
    m_date->setToolTip(QStringLiteral("Datum auswählen"));
    m_date->setDisplayFormat(shortDateFormat());
    resetDatePicker();

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    auto row = [&](int r, int labelNo, std::initializer_list<std::pair<QWidget*, int>> widgets) {
        if (labelNo > 0)
            grid->addWidget(m_labels[size_t(labelNo)], r, 0);
        auto* line = new QHBoxLayout;
        line->setSpacing(4);
        for (const auto& [w, stretch] : widgets)
            line->addWidget(w, stretch);
        grid->addLayout(line, r, 1);
    };
    row(0, 1, {{m_edits[1], 1}, {m_speed[1], 0}});
    row(1, 2, {{m_edits[2], 1}});
    row(2, 3, {{m_edits[3], 4}, {m_edits[4], 1}});
    row(3, 4, {{m_edits[5], 1}, {m_edits[6], 3}, {m_speed[4], 0}});
    row(4, 5, {{m_edits[7], 1}});
    row(5, 6, {{m_edits[8], 1}});
    row(6, 7, {{m_edits[9], 1}});
    row(7, 8, {{m_edits[10], 1}});
    row(8, 9, {{m_edits[14], 1}});
    row(9, 10, {{m_edits[11], 1}, {m_speed[2], 0}});
    row(10, 11, {{m_edits[12], 1}, {m_speed[3], 0}});
    // The birthday row also holds the picker and the group list.
    m_edits[13]->setFixedWidth(
        m_edits[13]->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000")) + 12);
    // Wide enough for the whole date, so a pick can be read before it is taken.
    m_date->setFixedWidth(m_date->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000")) +
                          34);
    row(11, 12, {{m_edits[13], 0}, {m_date, 0}, {m_labels[15], 0}, {m_combo, 1}});
    grid->setRowStretch(12, 1);

    chainTabOrder({});
}

TDBEdit* TFieldsPanel::editFor(int field) const {
    return field >= 0 && field < kFieldCount ? m_editByField[size_t(field)] : nullptr;
}

QLabel* TFieldsPanel::labelFor(int field) const {
    return field >= 0 && field < kFieldCount ? m_labelByField[size_t(field)] : nullptr;
}

Record TFieldsPanel::shownRecord() const {
    Record r;
    // With no record shown the table has no values to give.
    const bool hasRecord =
        m_table && m_table->isActive() &&
        (m_table->state() != AddressTable::State::Browse || m_table->rowCount() > 0);
    for (int field = 0; field < kFieldCount; ++field) {
        if (const TDBEdit* e = m_editByField[size_t(field)])
            r[size_t(field)] = e->text();
        else if (field == fGruppe)
            r[size_t(field)] = m_combo->currentText();
        else if (hasRecord)
            r[size_t(field)] = m_table->fieldValue(field);
    }
    return r;
}

void TFieldsPanel::resetDatePicker() {
    const QSignalBlocker blocker(m_date);
    m_date->setDate(QDate::currentDate());
}

void TFieldsPanel::setGroups(const QStringList& groups) {
    m_combo->setItems(groups);
}

void TFieldsPanel::chainTabOrder(std::initializer_list<QWidget*> between) {
    QList<QWidget*> order;
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13})
        order << m_edits[size_t(n)];
    order << m_date << m_combo;
    for (QWidget* w : between)
        order << w;
    order << m_edits[14] << m_edits[11];
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace kalvendo
