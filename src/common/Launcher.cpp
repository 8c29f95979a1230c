#include "common/Launcher.h"

#include "common/TestHook.h"

#include <QDesktopServices>

namespace kalvendo {

void setExternalOpener(ExternalOpener o) {
    testHook<ExternalOpener>() = std::move(o);
}

bool openExternal(const QUrl& url) {
    if (const auto& open = testHook<ExternalOpener>())
        return open(url);
    return QDesktopServices::openUrl(url);
}

} // namespace kalvendo
