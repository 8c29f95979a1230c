#include "output/package/PackageStream.h"

#include "common/SaveFile.h"

#include <QIODevice>

#include <zip.h>

#include <cstring>
#include <exception>
#include <limits>
#include <vector>

namespace kalvendo {

namespace {

class BytesSource final : public PackageEntrySource {
public:
    explicit BytesSource(QByteArray bytes) : m_bytes(std::move(bytes)) {}
    qint64 size() override { return m_bytes.size(); }
    void open() override { m_pos = 0; }
    qint64 read(char* data, qint64 max) override {
        const qint64 n = qMin(max, m_bytes.size() - m_pos);
        std::memcpy(data, m_bytes.constData() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return n;
    }

private:
    QByteArray m_bytes;
    qint64 m_pos = 0;
};

// An entry of another package, decompressed only while it is copied.
class CopySource final : public PackageEntrySource {
public:
    CopySource(const PackageReader& reader, const PackageEntry& entry)
        : m_reader(reader), m_name(entry.name), m_size(entry.size) {}
    qint64 size() override { return m_size; }
    void open() override {
        m_bytes = m_reader.read(m_name);
        m_pos = 0;
        if (m_bytes.size() != m_size)
            throw EPackageError(
                QStringLiteral("%1: Eintrag %2 ist beschädigt").arg(m_reader.name(), m_name));
    }
    qint64 read(char* data, qint64 max) override {
        const qint64 n = qMin(max, m_bytes.size() - m_pos);
        std::memcpy(data, m_bytes.constData() + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return n;
    }
    void close() override { m_bytes = QByteArray(); }

private:
    const PackageReader& m_reader;
    QString m_name;
    qint64 m_size;
    QByteArray m_bytes;
    qint64 m_pos = 0;
};

// What a libzip callback needs; exceptions never cross libzip's C frames but
// are kept here and raised again once zip_close has returned.
struct EntryContext {
    PackageEntrySource* source;
    time_t modified;
    std::exception_ptr* failure;
    zip_error_t error;
};

struct SinkContext {
    QIODevice* device;
    std::exception_ptr* failure;
    zip_error_t error;
    bool deviceFailed = false;
};

zip_int64_t entryCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* c = static_cast<EntryContext*>(userdata);
    try {
        switch (cmd) {
        case ZIP_SOURCE_OPEN:
            c->source->open();
            return 0;
        case ZIP_SOURCE_READ:
            return c->source->read(
                static_cast<char*>(data),
                static_cast<qint64>(qMin<zip_uint64_t>(len, std::numeric_limits<qint64>::max())));
        case ZIP_SOURCE_CLOSE:
            c->source->close();
            return 0;
        case ZIP_SOURCE_STAT: {
            if (len < sizeof(zip_stat_t)) {
                zip_error_set(&c->error, ZIP_ER_INVAL, 0);
                return -1;
            }
            auto* st = static_cast<zip_stat_t*>(data);
            zip_stat_init(st);
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            st->size = static_cast<zip_uint64_t>(c->source->size());
            st->mtime = c->modified;
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR:
            return zip_error_to_data(&c->error, data, len);
        case ZIP_SOURCE_FREE:
            return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(
                ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, ZIP_SOURCE_SUPPORTS, -1);
        default:
            zip_error_set(&c->error, ZIP_ER_OPNOTSUPP, 0);
            return -1;
        }
    } catch (...) {
        if (!*c->failure)
            *c->failure = std::current_exception();
        zip_error_set(&c->error, ZIP_ER_READ, 0);
        return -1;
    }
}

// The package's own bytes go to the device; to libzip it is an empty archive
// that it replaces.
zip_int64_t sinkCallback(void* userdata, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* c = static_cast<SinkContext*>(userdata);
    QIODevice& device = *c->device;
    switch (cmd) {
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_BEGIN_WRITE:
    case ZIP_SOURCE_COMMIT_WRITE:
    case ZIP_SOURCE_ROLLBACK_WRITE:
    case ZIP_SOURCE_REMOVE:
    case ZIP_SOURCE_FREE:
        return 0;
    case ZIP_SOURCE_READ:
        return 0;
    case ZIP_SOURCE_SEEK:
        return 0;
    case ZIP_SOURCE_TELL:
        return 0;
    case ZIP_SOURCE_STAT: {
        if (len < sizeof(zip_stat_t)) {
            zip_error_set(&c->error, ZIP_ER_INVAL, 0);
            return -1;
        }
        auto* st = static_cast<zip_stat_t*>(data);
        zip_stat_init(st);
        st->valid = ZIP_STAT_SIZE;
        st->size = 0;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_WRITE: {
        const qint64 n = device.write(static_cast<const char*>(data), static_cast<qint64>(len));
        if (n != static_cast<qint64>(len)) {
            c->deviceFailed = true;
            zip_error_set(&c->error, ZIP_ER_WRITE, 0);
            return -1;
        }
        return n;
    }
    case ZIP_SOURCE_SEEK_WRITE: {
        const zip_int64_t offset = zip_source_seek_compute_offset(
            static_cast<zip_uint64_t>(device.pos()), static_cast<zip_uint64_t>(device.size()), data,
            len, &c->error);
        if (offset < 0)
            return -1;
        if (!device.seek(offset)) {
            c->deviceFailed = true;
            zip_error_set(&c->error, ZIP_ER_SEEK, 0);
            return -1;
        }
        return 0;
    }
    case ZIP_SOURCE_TELL_WRITE:
        return device.pos();
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&c->error, data, len);
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
            ZIP_SOURCE_FREE, ZIP_SOURCE_SEEK, ZIP_SOURCE_TELL, ZIP_SOURCE_SUPPORTS,
            ZIP_SOURCE_BEGIN_WRITE, ZIP_SOURCE_COMMIT_WRITE, ZIP_SOURCE_ROLLBACK_WRITE,
            ZIP_SOURCE_WRITE, ZIP_SOURCE_SEEK_WRITE, ZIP_SOURCE_TELL_WRITE, ZIP_SOURCE_REMOVE, -1);
    default:
        zip_error_set(&c->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

[[noreturn]] void fail(const QString& why) {
    throw EPackageError(QStringLiteral("ZIP-Paket kann nicht erstellt werden (%1)").arg(why));
}

} // namespace

struct PackageStreamWriter::Entry {
    QString name;
    PackageCompression compression;
    QDateTime modified;
    std::unique_ptr<PackageEntrySource> source;
};

PackageStreamWriter::PackageStreamWriter() = default;
PackageStreamWriter::~PackageStreamWriter() = default;

void PackageStreamWriter::add(const QString& name, const QByteArray& bytes,
                              PackageCompression compression, const QDateTime& modified) {
    add(name, std::make_unique<BytesSource>(bytes), compression, modified);
}

void PackageStreamWriter::add(const QString& name, std::unique_ptr<PackageEntrySource> source,
                              PackageCompression compression, const QDateTime& modified) {
    auto entry = std::make_shared<Entry>();
    entry->name = name;
    entry->compression = compression;
    entry->modified = modified.isValid() ? modified : QDateTime::currentDateTime();
    entry->source = std::move(source);
    for (auto& e : m_entries) {
        if (e->name == name) {
            e = entry;
            return;
        }
    }
    m_entries.append(entry);
}

void PackageStreamWriter::copyFrom(const PackageReader& source, const QSet<QString>& except) {
    for (const PackageEntry& e : source.entries()) {
        if (!except.contains(e.name))
            add(e.name, std::make_unique<CopySource>(source, e), e.compression, e.modified);
    }
}

bool PackageStreamWriter::contains(const QString& name) const {
    for (const auto& e : m_entries) {
        if (e->name == name)
            return true;
    }
    return false;
}

void PackageStreamWriter::write(QIODevice& device) {
    std::exception_ptr failure;
    SinkContext sink{&device, &failure, {}};
    zip_error_init(&sink.error);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* target = zip_source_function_create(sinkCallback, &sink, &error);
    zip_t* zip = target ? zip_open_from_source(target, ZIP_CREATE | ZIP_TRUNCATE, &error) : nullptr;
    if (!zip) {
        if (target)
            zip_source_free(target);
        const QString why = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        fail(why);
    }
    zip_error_fini(&error);

    std::vector<std::unique_ptr<EntryContext>> contexts;
    const auto abandon = [&](const QString& why) {
        zip_discard(zip);
        fail(why);
    };
    for (const auto& e : m_entries) {
        auto context = std::make_unique<EntryContext>(EntryContext{
            e->source.get(), static_cast<time_t>(e->modified.toSecsSinceEpoch()), &failure, {}});
        zip_error_init(&context->error);
        zip_source_t* data = zip_source_function(zip, entryCallback, context.get());
        const QByteArray name = e->name.toUtf8();
        const zip_int64_t index =
            data ? zip_file_add(zip, name.constData(), data, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (data)
                zip_source_free(data);
            abandon(QString::fromUtf8(zip_strerror(zip)));
        }
        const auto i = static_cast<zip_uint64_t>(index);
        const zip_int32_t method =
            e->compression == PackageCompression::Stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        const zip_uint32_t level =
            method == ZIP_CM_DEFLATE ? static_cast<zip_uint32_t>(m_level) : 0;
        if (zip_set_file_compression(zip, i, method, level) != 0 ||
            zip_file_set_mtime(zip, i, context->modified, 0) != 0)
            abandon(QString::fromUtf8(zip_strerror(zip)));
        contexts.push_back(std::move(context));
    }
    if (zip_close(zip) != 0) {
        const QString why = QString::fromUtf8(zip_strerror(zip));
        zip_discard(zip);
        if (failure)
            std::rethrow_exception(failure);
        if (sink.deviceFailed)
            throw EWriteError(QStringLiteral("ZIP-Paket kann nicht geschrieben werden (%1)")
                                  .arg(device.errorString()));
        fail(why);
    }
    for (auto& c : contexts)
        zip_error_fini(&c->error);
    zip_error_fini(&sink.error);
}

} // namespace kalvendo
