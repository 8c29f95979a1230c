#include "lang/Scripts.h"

#include "common/Exception.h"
#include "common/TextFile.h"

#include <QFile>

// Resources of a static library are only linked in when something refers to them.
static void initLangResources() {
    Q_INIT_RESOURCE(lang);
}

namespace kalvendo {

namespace {

QStringList loadScript(const QString& path) {
    static const bool initialised = (initLangResources(), true);
    Q_UNUSED(initialised);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Sprachskript %1 fehlt im Programm").arg(path));
    return splitLines(decodeText(file.readAll()));
}

} // namespace

QStringList scriptForm1() {
    return loadScript(QStringLiteral(":/lang/form1.lng"));
}
QStringList scriptForm2() {
    return loadScript(QStringLiteral(":/lang/form2.lng"));
}
QStringList scriptForm3() {
    return loadScript(QStringLiteral(":/lang/form3.lng"));
}

} // namespace kalvendo
