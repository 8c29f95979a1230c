#include "app/Help.h"

#include "common/AppPaths.h"
#include "common/Launcher.h"
#include "common/TextFile.h"

namespace kalvendo {

namespace {
// Longer mail links are refused by some desktops and mail programs.
constexpr qsizetype kMaxMailUrlLength = 30000;
} // namespace

QString supportMailAddress() {
    return QStringLiteral("support@kalvendo.example.org");
}

QUrl helpFileUrl(const QString& applicationPath) {
    return QUrl::fromLocalFile(AppPaths(applicationPath).helpIndex());
}

void openHelp(const QString& applicationPath) {
    openExternal(helpFileUrl(applicationPath));
}

QUrl errorLogMailUrl(const QStringList& logLines) {
    const QByteArray head = QByteArrayLiteral("mailto:") +
                            QUrl::toPercentEncoding(supportMailAddress(), "@") +
                            QByteArrayLiteral("?Subject=Fehlerprotokoll&BODY=");
    // Percent-encoding works character by character, so the body's encoding is
    // the lines' encodings joined: take the newest lines that fit.
    QList<QByteArray> encoded;
    qsizetype room = kMaxMailUrlLength - head.size();
    for (qsizetype i = logLines.size() - 1; i >= 0; --i) {
        QByteArray e = QUrl::toPercentEncoding(logLines.at(i) + QStringLiteral("\r\n"));
        if (e.size() > room)
            break;
        room -= e.size();
        encoded.prepend(std::move(e));
    }
    return QUrl::fromEncoded(head + encoded.join(), QUrl::StrictMode);
}

void mailErrorLog(const QString& applicationPath) {
    const QStringList lines = readTextLines(AppPaths(applicationPath).errorLog());
    openExternal(errorLogMailUrl(lines));
}

} // namespace kalvendo
