#include "addressbook/Collation.h"

#include "addressbook/DatabaseError.h"

#include <unicode/ucol.h>
#include <unicode/uversion.h>

namespace kalvendo {

namespace {

QString versionText(const UVersionInfo v) {
    char buf[U_MAX_VERSION_STRING_LENGTH];
    u_versionToString(v, buf);
    return QString::fromLatin1(buf);
}

} // namespace

Collation::Collation() {
    UErrorCode status = U_ZERO_ERROR;
    m_collator = ucol_open("de", &status);
    if (U_FAILURE(status) || !m_collator) {
        throw EDatabaseError(QStringLiteral("Die Sortierfolge \"de\" ist nicht verfügbar / the "
                                            "collation \"de\" is not available: %1")
                                 .arg(QString::fromLatin1(u_errorName(status))));
    }
    UErrorCode localeStatus = U_ZERO_ERROR;
    const char* actual = ucol_getLocaleByType(m_collator, ULOC_ACTUAL_LOCALE, &localeStatus);
    UVersionInfo collVersion;
    ucol_getVersion(m_collator, collVersion);
    UVersionInfo icuVersion;
    u_getVersion(icuVersion);
    m_identity = QStringLiteral("de/%1 collator %2 icu %3")
                     .arg(QString::fromLatin1(U_SUCCESS(localeStatus) && actual ? actual : "?"),
                          versionText(collVersion), versionText(icuVersion));
}

Collation::~Collation() {
    ucol_close(m_collator);
}

QByteArray Collation::sortKey(const QString& text) const {
    const auto* src = reinterpret_cast<const UChar*>(text.utf16());
    const auto len = static_cast<int32_t>(text.size());
    QByteArray key(qMax<qsizetype>(64, text.size() * 4 + 16), Qt::Uninitialized);
    int32_t n = ucol_getSortKey(m_collator, src, len, reinterpret_cast<uint8_t*>(key.data()),
                                static_cast<int32_t>(key.size()));
    if (n > key.size()) {
        key.resize(n);
        n = ucol_getSortKey(m_collator, src, len, reinterpret_cast<uint8_t*>(key.data()), n);
    }
    // n counts the terminating zero byte.
    key.resize(n > 0 ? n - 1 : 0);
    return key;
}

} // namespace kalvendo
