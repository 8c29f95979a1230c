#include "common/CommandGuard.h"

#include "common/Exception.h"
#include "common/MessageDialog.h"
#include "common/TestHook.h"

#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace kalvendo {

void setApplicationExceptionHandler(ExceptionHandler handler) {
    testHook<ExceptionHandler>() = std::move(handler);
}

QString exceptionClassName(const std::exception& error) {
    if (const auto* k = dynamic_cast<const Exception*>(&error))
        return QString::fromLatin1(k->className());
    // Other errors are named by their C++ type.
    int status = 0;
    const char* mangled = typeid(error).name();
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return QString::fromLatin1(status == 0 && demangled ? demangled.get() : mangled);
}

QString exceptionMessage(const std::exception& error) {
    if (const auto* k = dynamic_cast<const Exception*>(&error))
        return k->message();
    return QString::fromUtf8(error.what());
}

void handleUncaught(QObject* sender, const std::exception& error) {
    if (const auto& handler = testHook<ExceptionHandler>()) {
        try {
            handler(sender, error);
            return;
        } catch (const std::exception& inner) {
            // The handler itself failed: fall back to the plain box rather than
            // letting an error end the program.
            messageDlg(exceptionMessage(inner), DialogKind::Error, DialogButtons::Ok);
            return;
        }
    }
    messageDlg(exceptionMessage(error), DialogKind::Error, DialogButtons::Ok);
}

} // namespace kalvendo
