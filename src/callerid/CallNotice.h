#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

namespace kalvendo {

class AddressTable;

// The named strings a call notice is made of, in the current language.
struct CallNoticeTexts {
    QString call;      // "Anruf von:"
    QString to;        // "an:"
    QString nrunknown; // "Nummer unbekannt!"
};

// One line: date / time - call who to called, with the fixed blanks between.
QString callNotice(const QDateTime& when, const QString& who, const QString& called,
                   const CallNoticeTexts& texts);

// Appends the line to isdnlog.txt in folder (created when missing).
// Throws EInOutError when the file cannot be written.
void appendCallLog(const QString& folder, const QString& line);

// Who called, for the desktop notice.
struct CallAnnouncement {
    QString name;   // first name and name of the record found; empty when none
    QString number; // the caller's number; empty when withheld
    QString called; // the number dialled
};

// What the main window shows of a call.
struct CallNoticeView {
    std::function<void(const QString&)> showNotice;          // status panel
    std::function<void()> bringToFront;                      // restore when minimised
    std::function<void(const CallAnnouncement&)> announce{}; // desktop notice, when on
};

// Looks an incoming call up in the table (prepared telephone number first,
// then prepared mobile number; when neither matches exactly, the number's
// international form, if the table has number keys; the found record becomes
// current), shows the notice, announces it on the desktop when the preference
// notify is on, remembers an unknown number in ab.ini and appends to the call
// log. The steps run in this order; an error stops the rest and goes to the caller.
class IncomingCall {
public:
    IncomingCall(AddressTable& table, QString abIniPath, CallNoticeTexts texts,
                 CallNoticeView view);

    // Returns the notice shown.
    QString handle(const QString& callingNumber, const QString& calledNumber,
                   const QDateTime& when = QDateTime::currentDateTime());

private:
    AddressTable& m_table;
    QString m_abIni;
    CallNoticeTexts m_texts;
    CallNoticeView m_view;
};

} // namespace kalvendo
