#include "callerid/CallNotice.h"

#include "addressbook/AddressTable.h"
#include "addressbook/Fields.h"
#include "common/AppPaths.h"
#include "common/IniFile.h"
#include "common/LocaleFormat.h"
#include "common/TextFile.h"
#include "settings/Preferences.h"

#include <QDir>
#include <QFile>

namespace kalvendo {

QString callNotice(const QDateTime& when, const QString& who, const QString& called,
                   const CallNoticeTexts& texts) {
    const QString line = formatShortDate(when.date()) + QStringLiteral(" / ") +
                         formatLongTime(when.time()) + QStringLiteral("  -   ") + texts.call +
                         QStringLiteral("  ") + who + QStringLiteral("  ") + texts.to +
                         QStringLiteral("  ") + called;
    // Numbers come from the driver or the network and names from records: one
    // of them with a line break would forge lines in the call log.
    return withoutControlChars(line);
}

void appendCallLog(const QString& folder, const QString& line) {
    // One line per call, whoever built the line.
    appendTextLine(AppPaths::callLog(folder), withoutControlChars(line),
                   QStringLiteral("Das Anrufprotokoll %1 kann nicht geschrieben werden: %2"));
}

IncomingCall::IncomingCall(AddressTable& table, QString abIniPath, CallNoticeTexts texts,
                           CallNoticeView view)
    : m_table(table), m_abIni(std::move(abIniPath)), m_texts(std::move(texts)),
      m_view(std::move(view)) {}

QString IncomingCall::handle(const QString& givenCallingNumber, const QString& calledNumber,
                             const QDateTime& when) {
    IniFile ab(m_abIni);
    // Remembered in ab.ini and offered by the number search as it is shown.
    const QString callingNumber = withoutControlChars(givenCallingNumber);

    QString who;
    bool unknown = false;
    if (callingNumber.isEmpty()) {
        who = m_texts.nrunknown;
    } else if (m_table.locate(QStringLiteral("tsuche"), callingNumber) ||
               m_table.locate(QStringLiteral("hsuche"), callingNumber) ||
               m_table.locateNumber(callingNumber)) {
        who = m_table.fieldValue(fVorname) + u' ' + m_table.fieldValue(fName);
    } else {
        who = callingNumber;
        unknown = true;
    }

    const QString notice = callNotice(when, who, calledNumber, m_texts);
    if (m_view.showNotice)
        m_view.showNotice(notice);
    if (m_view.bringToFront)
        m_view.bringToFront();
    if (m_view.announce && readPref(ab, prefs::callNotice::notify))
        m_view.announce(
            {unknown || callingNumber.isEmpty() ? QString() : who, callingNumber, calledNumber});

    if (unknown)
        writePref(ab, prefs::key::isdncpn, callingNumber);

    const bool log = readPref(ab, prefs::callNotice::isdnlog);
    const QString folder = readPref(ab, prefs::callNotice::isdnpath);
    if (log && !folder.isEmpty())
        appendCallLog(folder, notice);
    return notice;
}

} // namespace kalvendo
