#include "common/Launcher.h"

#include <QDesktopServices>

namespace kalvendo {

namespace {
ExternalOpener& opener() {
    static ExternalOpener o;
    return o;
}
} // namespace

void setExternalOpener(ExternalOpener o) {
    opener() = std::move(o);
}

bool openExternal(const QUrl& url) {
    if (opener())
        return opener()(url);
    return QDesktopServices::openUrl(url);
}

} // namespace kalvendo
