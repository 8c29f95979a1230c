#include "callerid/ui/CallerIdController.h"

#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "addressbook/PreparedNumber.h"
#include "addressbook/ui/DBControls.h"
#include "addressbook/ui/FieldsPanel.h"
#include "callerid/CallNotice.h"
#include "callerid/PhoneNumber.h"
#include "capi/CapiMonitor.h"
#include "common/CommandGuard.h"

#include <QProgressDialog>

#include <algorithm>

namespace kalvendo {

CallerIdController::CallerIdController(const MainWindowContext& context, QObject* parent)
    : QObject(parent), m_ctx(context) {
    CapiMonitor1 = new TCapiMonitor(this);
    CapiMonitor1->setObjectName(QStringLiteral("CapiMonitor1"));
    CapiMonitor1->OnIncomingCall = [this](const QString& caller, const QString& called, quint16 cip,
                                          const QString& cipText) {
        CapiMonitor1IncomingCall(caller, called, cip, cipText);
    };

    // Leaving the telephone or mobile field writes its prepared number and
    // saves the record; typing there takes the phone key set only.
    const std::pair<int, void (CallerIdController::*)()> exits[] = {
        {fTelefon, &CallerIdController::DBEdit8Exit}, {fMobil, &CallerIdController::DBEdit9Exit}};
    for (const auto& [field, handler] : exits) {
        TDBEdit* edit = m_ctx.fields->editFor(field);
        edit->setKeyFilter(&isPhoneKey);
        connectCommand(edit, &TDBEdit::Exit, this,
                       [this, handler = handler]() { (this->*handler)(); });
    }
}

CallerIdController::~CallerIdController() {
    delete CapiMonitor1;
    CapiMonitor1 = nullptr;
}

void CallerIdController::activateMonitor() {
    CapiMonitor1->Activate(1, 0);
}

void CallerIdController::DBEdit8Exit() {
    writePreparedNumber(fTelefon, fTsuche);
}

void CallerIdController::DBEdit9Exit() {
    writePreparedNumber(fMobil, fHsuche);
}

void CallerIdController::writePreparedNumber(int source, int prepared) {
    AddressTable* table = m_ctx.table;
    // With no record shown there is nothing to save: tabbing through the empty
    // fields of an empty table must not create records.
    if (!table->isActive() ||
        (table->state() == AddressTable::State::Browse && table->rowCount() == 0))
        return;
    const QString number = m_ctx.fields->editFor(source)->text();
    if (table->state() == AddressTable::State::Browse)
        table->edit();
    table->setFieldValue(prepared, prepareNumber(number));
    table->post();
}

void CallerIdController::CapiMonitor1IncomingCall(const QString& CallingPartyNumber,
                                                  const QString& CalledPartyNumber,
                                                  quint16 CipValue, const QString& CipValueString) {
    Q_UNUSED(CipValue);
    Q_UNUSED(CipValueString);
    // Runs inside the hand-over of the CAPI thread, which drops any error; the
    // steps before an error have taken effect.
    IncomingCall call(
        *m_ctx.table, m_ctx.paths().preferences(),
        {m_ctx.text("call"), m_ctx.text("to"), m_ctx.text("nrunknown")},
        {[this](const QString& notice) { m_ctx.showStatus(StatusPanel::Notice, notice); },
         [this]() { m_ctx.bringToFront(); }});
    call.handle(CallingPartyNumber, CalledPartyNumber);
}

void CallerIdController::Nummernaufbereiten1Click() {
    isdnnumbers();
}

void CallerIdController::isdnnumbers() {
    const QString message = m_ctx.text("msgprepnumbers");
    m_ctx.showStatus(StatusPanel::Notice, message);
    // A long run shows its progress and keeps the window painted; it cannot be
    // cancelled half way, as every record is written in one go.
    QProgressDialog progress(message, QString(), 0, std::max(1, m_ctx.table->rowCount()),
                             m_ctx.window);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setCancelButton(nullptr);
    prepareAllNumbers(*m_ctx.table,
                      [&progress](qsizetype done) { progress.setValue(static_cast<int>(done)); });
    progress.reset();
    m_ctx.showStatus(StatusPanel::Notice, QString());
}

} // namespace kalvendo
