#include "app/WindowActivation.h"

#include "app/InstanceGuard.h"

#include <QWidget>

namespace kalvendo {

void bringToFront(QWidget* window) {
    if (!window)
        return;
    // Un-minimising keeps a maximised window maximised.
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
    qCInfo(lcInstance, "brought the window to the front");
}

} // namespace kalvendo
