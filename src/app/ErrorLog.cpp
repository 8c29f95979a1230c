#include "app/ErrorLog.h"

#include "common/AppPaths.h"
#include "common/CommandGuard.h"
#include "common/LocaleFormat.h"
#include "common/MessageDialog.h"
#include "common/TextFile.h"
#include "lang/Multilanguage.h"

#include <QDateTime>
#include <QObject>
#include <QWidget>

namespace kalvendo {

namespace errorlog {

QString senderField(const QObject* sender) {
    return sender ? sender->objectName() : QString();
}

QString line(const QDateTime& when, const std::exception& error, const QString& senderName,
             const QLocale& locale) {
    // One line per error, whatever text the message carries.
    const QString message = withoutControlChars(exceptionMessage(error));
    const QString gap = QStringLiteral("   ");
    return locale.toString(when.date(), shortDateFormat(locale)) + gap +
           locale.toString(when.time(), longTimeFormat(locale)) + gap + message + gap +
           exceptionClassName(error) + gap + senderName;
}

} // namespace errorlog

ErrorLog::ErrorLog(QString applicationPath, TMultilanguage* mainEngine, QWidget* dialogParent)
    : m_logPath(AppPaths(applicationPath).errorLog()), m_engine(mainEngine),
      m_dialogParent(dialogParent) {}

void ErrorLog::AppException(QObject* sender, const std::exception& error) const {
    // The sender may not outlive the dialog's event loop; its name is taken now.
    const QString senderName = errorlog::senderField(sender);
    // Before a language is active the heading is empty.
    const QString heading = m_engine ? m_engine->GetString(QStringLiteral("errormsg")) : QString();
    messageDlg(heading + QStringLiteral("\n\r") + exceptionMessage(error), DialogKind::Error,
               DialogButtons::Ok, m_dialogParent.data());

    // Date and time of the line are taken once the dialog has been closed.
    appendLine(senderName, error);
}

void ErrorLog::record(QObject* sender, const std::exception& error) const {
    appendLine(errorlog::senderField(sender), error);
}

void ErrorLog::appendLine(const QString& senderName, const std::exception& error) const {
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
