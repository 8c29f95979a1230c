#pragma once

#include "common/Exception.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>

class QIODevice;

namespace kalvendo {

// Raised when a zip package cannot be read: not a zip file, damaged, or an
// entry that is not there. The message names the file (and the entry).
KALVENDO_DECLARE_EXCEPTION(EPackageError, EInOutError)

// How an entry's bytes are kept inside the package.
enum class PackageCompression { Stored, Deflated };

struct PackageEntry {
    QString name;
    PackageCompression compression = PackageCompression::Deflated;
    QDateTime modified; // local time, two-second resolution as zip keeps it
    qint64 size = 0;    // uncompressed
};

// An existing zip package (docx, ott, xlsx), read whole into memory.
class PackageReader {
public:
    // Throws EPackageError when the file is missing, unreadable or not a zip.
    explicit PackageReader(const QString& path);
    // A package held in memory; `name` is what error messages call it.
    PackageReader(const QByteArray& bytes, const QString& name);
    ~PackageReader();
    PackageReader(const PackageReader&) = delete;
    PackageReader& operator=(const PackageReader&) = delete;

    const QString& name() const { return m_name; }
    // In the order the package stores them.
    const QList<PackageEntry>& entries() const { return m_entries; }
    bool contains(const QString& entry) const;
    // The uncompressed bytes; throws EPackageError for a missing or damaged entry.
    QByteArray read(const QString& entry) const;

private:
    void open();

    struct Archive;
    QString m_name;
    QByteArray m_bytes;
    std::unique_ptr<Archive> m_archive;
    QList<PackageEntry> m_entries;
};

// A new package, built in memory and written in one go. Entries keep the order
// they were first added in; adding a name again replaces the bytes in place,
// so "copy everything from A, then replace a few parts" keeps A's order.
class PackageWriter {
public:
    // Adds or replaces an entry. An invalid `modified` means now.
    void add(const QString& name, const QByteArray& bytes,
             PackageCompression compression = PackageCompression::Deflated,
             const QDateTime& modified = {});
    // Copies every entry of `source` except those in `except`, with their
    // compression and time. Throws EPackageError when an entry cannot be read.
    void copyFrom(const PackageReader& source, const QSet<QString>& except = {});
    bool contains(const QString& name) const;
    QList<QString> names() const;

    // The finished zip bytes.
    QByteArray toBytes() const;
    // Writes the finished zip to `device`; throws EWriteError when it refuses.
    void write(QIODevice& device) const;
    // Replaces `path` through SaveFile; throws EWriteError.
    void save(const QString& path) const;

private:
    struct Pending {
        PackageEntry entry;
        QByteArray bytes;
    };
    QList<Pending> m_entries;
};

} // namespace kalvendo
