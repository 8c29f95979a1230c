#pragma once

#include <QLocale>
#include <QPointer>
#include <QString>

#include <exception>

class QDateTime;
class QObject;
class QWidget;

namespace kalvendo {

class TMultilanguage;

// The error log daten/log.txt: one line per error that no command caught,
// fields separated by three blanks, each line ended by CRLF; lines are only
// ever appended.
namespace errorlog {

// Field 5: the name of the object in whose event the error arose (empty for
// an unnamed object, or when there is none).
QString senderField(const QObject* sender);

// The whole line without its line end. Line breaks inside the message become
// blanks, so that every error stays one line.
QString line(const QDateTime& when, const std::exception& error, const QString& senderName,
             const QLocale& locale = QLocale());

} // namespace errorlog

// The application-wide handler of errors that no command caught.
class ErrorLog {
public:
    // applicationPath ends in '/'; the heading is the main engine's named
    // string errormsg, looked up at each error in the current language.
    ErrorLog(QString applicationPath, TMultilanguage* mainEngine, QWidget* dialogParent = nullptr);

    QString logPath() const { return m_logPath; }

    // Shows the error under its heading, then appends its line to the log.
    // Never throws: when the log cannot be written (a missing file is created)
    // the error has still been shown and the program goes on.
    void AppException(QObject* sender, const std::exception& error) const;
    // Appends the error's line only, for a command that showed its own message.
    void record(QObject* sender, const std::exception& error) const;

private:
    void appendLine(const QString& senderName, const std::exception& error) const;

    QString m_logPath;
    QPointer<TMultilanguage> m_engine;
    QPointer<QWidget> m_dialogParent;
};

// Installs AppException as the handler of every error that reaches the command
// guard or the event loop (the main window's creation, step 5).
void installAppException(const QString& applicationPath, TMultilanguage* mainEngine,
                         QWidget* dialogParent = nullptr);

} // namespace kalvendo
