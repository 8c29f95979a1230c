#pragma once

#include "output/package/Package.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>

class QIODevice;

namespace kalvendo {

// The bytes of one entry of a package being streamed, asked for while the
// package is written: an entry of any size passes through a small buffer.
class PackageEntrySource {
public:
    virtual ~PackageEntrySource() = default;
    // The exact number of bytes the reads will give (zip headers carry it
    // before the data). May be asked before open().
    virtual qint64 size() = 0;
    // Starts (or starts again) from the first byte.
    virtual void open() = 0;
    // Up to max bytes into data; 0 at the end.
    virtual qint64 read(char* data, qint64 max) = 0;
    virtual void close() {}
};

// A new package written straight to a device (SaveFile::device(), which must
// be seekable: zip headers are completed after their data). Unlike
// PackageWriter it never holds the whole package: entries from another
// package are read one at a time, generated entries a block at a time.
class PackageStreamWriter {
public:
    PackageStreamWriter();
    ~PackageStreamWriter();
    PackageStreamWriter(const PackageStreamWriter&) = delete;
    PackageStreamWriter& operator=(const PackageStreamWriter&) = delete;

    // Adds or replaces an entry (a replaced one keeps its place). An invalid
    // `modified` means now.
    void add(const QString& name, const QByteArray& bytes,
             PackageCompression compression = PackageCompression::Deflated,
             const QDateTime& modified = {});
    void add(const QString& name, std::unique_ptr<PackageEntrySource> source,
             PackageCompression compression = PackageCompression::Deflated,
             const QDateTime& modified = {});
    // Every entry of `source` except those in `except`, with compression and
    // time, read when written. `source` must live until write() returns.
    void copyFrom(const PackageReader& source, const QSet<QString>& except = {});
    bool contains(const QString& name) const;
    // zlib's level for deflated entries, 1 (fastest) to 9 (smallest); 6 unless set.
    void setDeflateLevel(int level) { m_level = level; }

    // Writes the package. Throws EWriteError when the device refuses,
    // EPackageError when libzip fails; an exception raised by an entry source
    // (a cancelled export, a read error) is passed on as it was.
    void write(QIODevice& device);

private:
    struct Entry;
    QList<std::shared_ptr<Entry>> m_entries;
    int m_level = 6;
};

} // namespace kalvendo
