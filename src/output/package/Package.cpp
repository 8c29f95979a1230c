#include "output/package/Package.h"

#include "common/SaveFile.h"

#include <QFile>
#include <QIODevice>

#include <zip.h>

namespace kalvendo {

namespace {

QString libzipText(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

[[noreturn]] void notAPackage(const QString& name, const QString& why) {
    throw EPackageError(QStringLiteral("%1 ist kein lesbares ZIP-Paket (%2)").arg(name, why));
}

[[noreturn]] void fail(const QString& why) {
    throw EPackageError(QStringLiteral("ZIP-Paket kann nicht erstellt werden (%1)").arg(why));
}

QDateTime fromTimeT(time_t t) {
    return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(t));
}

} // namespace

struct PackageReader::Archive {
    zip_t* zip = nullptr;
    ~Archive() {
        if (zip)
            zip_discard(zip);
    }
};

PackageReader::PackageReader(const QString& path) : m_name(path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EPackageError(QStringLiteral("%1 kann nicht gelesen werden").arg(path));
    m_bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EPackageError(QStringLiteral("%1 kann nicht gelesen werden").arg(path));
    open();
}

PackageReader::PackageReader(const QByteArray& bytes, const QString& name)
    : m_name(name), m_bytes(bytes) {
    open();
}

PackageReader::~PackageReader() = default;

void PackageReader::open() {
    // libzip takes no bytes at all for an empty archive; a file that held a
    // package is never empty.
    if (m_bytes.isEmpty())
        notAPackage(m_name, QStringLiteral("leere Datei"));
    zip_error_t error;
    zip_error_init(&error);
    // The buffer outlives the archive: both belong to this object.
    zip_source_t* source = zip_source_buffer_create(
        m_bytes.constData(), static_cast<zip_uint64_t>(m_bytes.size()), 0, &error);
    if (!source) {
        const QString why = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        notAPackage(m_name, why);
    }
    zip_t* zip = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!zip) {
        zip_source_free(source);
        const QString why = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        notAPackage(m_name, why);
    }
    zip_error_fini(&error);
    m_archive = std::make_unique<Archive>();
    m_archive->zip = zip;

    const zip_int64_t count = zip_get_num_entries(zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &st) != 0)
            notAPackage(m_name, QString::fromUtf8(zip_strerror(zip)));
        PackageEntry entry;
        entry.name = QString::fromUtf8(st.name);
        entry.compression = st.comp_method == ZIP_CM_STORE ? PackageCompression::Stored
                                                           : PackageCompression::Deflated;
        entry.modified = fromTimeT(st.mtime);
        entry.size = static_cast<qint64>(st.size);
        m_entries.append(entry);
    }
}

bool PackageReader::contains(const QString& entry) const {
    for (const PackageEntry& e : m_entries)
        if (e.name == entry)
            return true;
    return false;
}

QByteArray PackageReader::read(const QString& entry) const {
    const QByteArray utf8 = entry.toUtf8();
    const zip_int64_t index = zip_name_locate(m_archive->zip, utf8.constData(), ZIP_FL_ENC_UTF_8);
    if (index < 0)
        throw EPackageError(QStringLiteral("%1 enthält keinen Eintrag %2").arg(m_name, entry));
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_archive->zip, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE) || st.size > static_cast<zip_uint64_t>(1) << 30)
        throw EPackageError(QStringLiteral("%1: Eintrag %2 ist beschädigt").arg(m_name, entry));
    zip_file_t* file = zip_fopen_index(m_archive->zip, static_cast<zip_uint64_t>(index), 0);
    if (!file)
        throw EPackageError(
            QStringLiteral("%1: Eintrag %2 ist beschädigt (%3)")
                .arg(m_name, entry, QString::fromUtf8(zip_strerror(m_archive->zip))));
    QByteArray bytes(static_cast<qsizetype>(st.size), Qt::Uninitialized);
    qsizetype done = 0;
    bool failed = false;
    while (done < bytes.size()) {
        const zip_int64_t n =
            zip_fread(file, bytes.data() + done, static_cast<zip_uint64_t>(bytes.size() - done));
        if (n <= 0) {
            failed = true;
            break;
        }
        done += static_cast<qsizetype>(n);
    }
    // A further read reaches the end, where libzip checks the CRC.
    char probe;
    if (!failed && zip_fread(file, &probe, 1) != 0)
        failed = true;
    QString why;
    if (failed)
        why = QString::fromUtf8(zip_file_strerror(file));
    zip_fclose(file);
    if (failed)
        throw EPackageError(
            QStringLiteral("%1: Eintrag %2 ist beschädigt (%3)").arg(m_name, entry, why));
    return bytes;
}

void PackageWriter::add(const QString& name, const QByteArray& bytes,
                        PackageCompression compression, const QDateTime& modified) {
    Pending pending;
    pending.entry.name = name;
    pending.entry.compression = compression;
    pending.entry.modified = modified.isValid() ? modified : QDateTime::currentDateTime();
    pending.entry.size = bytes.size();
    pending.bytes = bytes;
    for (Pending& p : m_entries) {
        if (p.entry.name == name) {
            p = pending;
            return;
        }
    }
    m_entries.append(pending);
}

void PackageWriter::copyFrom(const PackageReader& source, const QSet<QString>& except) {
    for (const PackageEntry& e : source.entries()) {
        if (except.contains(e.name))
            continue;
        add(e.name, source.read(e.name), e.compression, e.modified);
    }
}

bool PackageWriter::contains(const QString& name) const {
    for (const Pending& p : m_entries)
        if (p.entry.name == name)
            return true;
    return false;
}

QList<QString> PackageWriter::names() const {
    QList<QString> out;
    for (const Pending& p : m_entries)
        out.append(p.entry.name);
    return out;
}

QByteArray PackageWriter::toBytes() const {
    if (m_entries.isEmpty()) {
        // libzip writes nothing at all for an empty archive; a reader wants
        // the end record.
        QByteArray empty(22, '\0');
        empty[0] = 'P';
        empty[1] = 'K';
        empty[2] = 5;
        empty[3] = 6;
        return empty;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
    if (!buffer) {
        const QString why = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        fail(why);
    }
    zip_error_fini(&error);
    // Keep the buffer alive past zip_close, which is where the bytes land.
    zip_source_keep(buffer);
    struct BufferGuard {
        zip_source_t* s;
        ~BufferGuard() { zip_source_free(s); }
    } guard{buffer};

    zip_t* zip = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
    if (!zip)
        fail(libzipText(zip_error_code_zip(&error)));

    for (const Pending& p : m_entries) {
        zip_source_t* data = zip_source_buffer(zip, p.bytes.constData(),
                                               static_cast<zip_uint64_t>(p.bytes.size()), 0);
        const QByteArray name = p.entry.name.toUtf8();
        const zip_int64_t index =
            data ? zip_file_add(zip, name.constData(), data, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (data)
                zip_source_free(data);
            const QString why = QString::fromUtf8(zip_strerror(zip));
            zip_discard(zip);
            fail(why);
        }
        const auto i = static_cast<zip_uint64_t>(index);
        const zip_int32_t method =
            p.entry.compression == PackageCompression::Stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
        if (zip_set_file_compression(zip, i, method, 0) != 0 ||
            zip_file_set_mtime(zip, i, static_cast<time_t>(p.entry.modified.toSecsSinceEpoch()),
                               0) != 0) {
            const QString why = QString::fromUtf8(zip_strerror(zip));
            zip_discard(zip);
            fail(why);
        }
    }
    if (zip_close(zip) != 0) {
        const QString why = QString::fromUtf8(zip_strerror(zip));
        zip_discard(zip);
        fail(why);
    }

    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_source_stat(buffer, &st) != 0 || zip_source_open(buffer) != 0)
        fail(QString::fromUtf8(zip_error_strerror(zip_source_error(buffer))));
    QByteArray out(static_cast<qsizetype>(st.size), Qt::Uninitialized);
    const zip_int64_t n = zip_source_read(buffer, out.data(), st.size);
    zip_source_close(buffer);
    if (n != static_cast<zip_int64_t>(st.size))
        fail(QString::fromUtf8(zip_error_strerror(zip_source_error(buffer))));
    return out;
}

void PackageWriter::write(QIODevice& device) const {
    const QByteArray bytes = toBytes();
    if (device.write(bytes) != bytes.size())
        throw EWriteError(QStringLiteral("ZIP-Paket kann nicht geschrieben werden (%1)")
                              .arg(device.errorString()));
}

void PackageWriter::save(const QString& path) const {
    const QByteArray bytes = toBytes();
    SaveFile file(path);
    file.write(bytes);
    file.commit();
}

} // namespace kalvendo
