#pragma once

#include <QByteArray>
#include <QString>

struct UCollator;

namespace kalvendo {

// The order of the indexes: ICU's German collation at its default strength.
// Sort keys compare bytewise (memcmp, shorter first), which is also how SQLite
// orders BLOBs, so the index tables and the in-memory order agree.
class Collation {
public:
    Collation();
    ~Collation();
    Collation(const Collation&) = delete;
    Collation& operator=(const Collation&) = delete;

    // Sort key without ICU's terminating zero byte.
    QByteArray sortKey(const QString& text) const;
    // Locale, collator version and ICU version: an index built under another
    // identity has to be rebuilt.
    const QString& identity() const { return m_identity; }

private:
    UCollator* m_collator = nullptr;
    QString m_identity;
};

} // namespace kalvendo
