#pragma once

#include <QUrl>

#include <functional>

namespace kalvendo {

// Everything the program opens outside itself (web pages, mail, help, documents)
// goes through here, so tests can see what would be opened without starting a
// browser. Returns whether the desktop accepted it.
bool openExternal(const QUrl& url);

using ExternalOpener = std::function<bool(const QUrl&)>;
void setExternalOpener(ExternalOpener opener);

} // namespace kalvendo
