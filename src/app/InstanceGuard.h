#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QThread>

namespace kalvendo {

Q_DECLARE_LOGGING_CATEGORY(lcInstance)

class InstanceListener;

// Keeps one Kalvendo per application folder. The holder listens on a local
// socket named after the folder; a later start asks it who it is (and a window
// start asks a running window to come to the front). The listener answers
// from a thread of its own, so a holder busy with a long operation still says
// what it is.
class InstanceGuard : public QObject {
    Q_OBJECT
public:
    enum class Role { Window, Batch };
    // Who holds the folder. None: nobody (after claim(): now this process).
    enum class Holder { None, Window, Batch, Unresponsive };

    explicit InstanceGuard(QString applicationPath, QObject* parent = nullptr);
    ~InstanceGuard() override;

    // Takes the folder for this process unless another instance holds it; then
    // returns that holder. A window start has already asked a running window
    // to come to the front when this returns Holder::Window. A socket left by
    // a crashed instance does not count.
    Holder claim(Role role);
    bool isHolding() const { return m_listener != nullptr; }

    // Who holds the folder, without asking anyone to come to the front.
    static Holder holderOf(const QString& applicationPath);

    // The local socket for a folder: one per user and canonical folder path.
    static QString serverName(const QString& applicationPath);

    // The one-line reason a start is refused for `holder`.
    static QString refusalText(Holder holder, const QString& applicationPath);

Q_SIGNALS:
    // A later window start on the same folder asked for this window (emitted in
    // the guard's thread).
    void activationRequested();

private:
    QString m_applicationPath;
    QThread m_thread;
    InstanceListener* m_listener = nullptr;
};

} // namespace kalvendo
