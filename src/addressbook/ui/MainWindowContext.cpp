#include "addressbook/ui/MainWindowContext.h"

#include "common/StatusBar.h"
#include "lang/Multilanguage.h"

#include <QWidget>

namespace kalvendo {

QString MainWindowContext::text(const char* key) const {
    return lng ? lng->GetString(QString::fromLatin1(key)) : QString();
}

void MainWindowContext::showStatus(StatusPanel panel, const QString& text) const {
    if (status)
        status->setPanelText(int(panel), text);
}

void MainWindowContext::setCaption(const QString& caption) const {
    window->setWindowTitle(caption);
}

void MainWindowContext::bringToFront() const {
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

} // namespace kalvendo
