#include "app/ErrorLog.h"

#include "common/CommandGuard.h"
#include "common/MessageDialog.h"
#include "common/TextFile.h"
#include "lang/Multilanguage.h"

#include <QDateTime>
#include <QObject>
#include <QWidget>

namespace kalvendo {

namespace errorlog {

namespace {

// Rewrites a date or time format token by token; quoted text stays as it is.
template <typename Fn> QString mapTokens(const QString& format, Fn map) {
    QString out;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? format.size() : end + 1;
            out += format.mid(i, stop - i);
            i = stop;
            continue;
        }
        qsizetype j = i;
        while (j < format.size() && format.at(j) == c)
            ++j;
        out += map(c, format.mid(i, j - i));
        i = j;
    }
    return out;
}

} // namespace

QString dateFormat(const QLocale& locale) {
    return mapTokens(locale.dateFormat(QLocale::ShortFormat), [](QChar c, const QString& run) {
        // Names (MMM, ddd) stay names; numbers get their full width.
        if (c == u'd' && run.size() <= 2)
            return QStringLiteral("dd");
        if (c == u'M' && run.size() <= 2)
            return QStringLiteral("MM");
        if (c == u'y')
            return QStringLiteral("yyyy");
        return run;
    });
}

QString timeFormat(const QLocale& locale) {
    const QString format =
        mapTokens(locale.timeFormat(QLocale::LongFormat),
                  [](QChar c, const QString& run) { return c == u't' ? QString() : run; });
    return format.trimmed();
}

QString senderField(const QObject* sender) {
    return sender ? sender->objectName() : QString();
}

QString line(const QDateTime& when, const std::exception& error, const QString& senderName,
             const QLocale& locale) {
    QString message = exceptionMessage(error);
    message.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    message.replace(u'\r', u' ');
    message.replace(u'\n', u' ');
    const QString gap = QStringLiteral("   ");
    return locale.toString(when.date(), dateFormat(locale)) + gap +
           locale.toString(when.time(), timeFormat(locale)) + gap + message + gap +
           exceptionClassName(error) + gap + senderName;
}

} // namespace errorlog

ErrorLog::ErrorLog(QString applicationPath, TMultilanguage* mainEngine, QWidget* dialogParent)
    : m_logPath(applicationPath + QStringLiteral("daten/log.txt")), m_engine(mainEngine),
      m_dialogParent(dialogParent) {}

void ErrorLog::AppException(QObject* sender, const std::exception& error) const {
    // The sender may not outlive the dialog's event loop; its name is taken now.
    const QString senderName = errorlog::senderField(sender);
    // Before a language is active the heading is empty.
    const QString heading = m_engine ? m_engine->GetString(QStringLiteral("errormsg")) : QString();
    messageDlg(heading + QStringLiteral("\n\r") + exceptionMessage(error), DialogKind::Error,
               DialogButtons::Ok, m_dialogParent.data());

    // Date and time of the line are taken once the dialog has been closed.
    try {
        appendTextLine(m_logPath, errorlog::line(QDateTime::currentDateTime(), error, senderName));
    } catch (const std::exception& e) {
        qWarning("kalvendo: error log not written: %s", e.what());
    }
}

void installAppException(const QString& applicationPath, TMultilanguage* mainEngine,
                         QWidget* dialogParent) {
    const ErrorLog log(applicationPath, mainEngine, dialogParent);
    setApplicationExceptionHandler(
        [log](QObject* sender, const std::exception& error) { log.AppException(sender, error); });
}

} // namespace kalvendo
