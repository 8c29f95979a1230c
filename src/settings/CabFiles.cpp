#include "settings/CabFiles.h"

#include "common/SaveFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libgcab.h>

#include <limits>
#include <memory>
#include <vector>

namespace kalvendo {

namespace {

constexpr quint32 kPackedVersion = 0x01040003;
// A cabinet's sizes and offsets are 32-bit; the writer keeps below the largest
// cabinet the format's makers allow.
constexpr qint64 kMaxCabinetBytes = 0x7FFFFFFF;
// Offset of the set identifier in the cabinet header, which libgcab leaves 0.
constexpr int kSetIdOffset = 32;

struct GObjectDeleter {
    void operator()(gpointer p) const {
        if (p)
            g_object_unref(p);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectDeleter>;

struct GErrorDeleter {
    void operator()(GError* e) const { g_error_free(e); }
};

// A cabinet date is the local time in the DOS format: 1980 to 2107, even seconds.
GDateTime* dosDateTime(const QDateTime& modified) {
    QDateTime t = modified.toLocalTime();
    const QDateTime first(QDate(1980, 1, 1), QTime(0, 0, 0));
    const QDateTime last(QDate(2107, 12, 31), QTime(23, 59, 58));
    if (!t.isValid() || t < first)
        t = first;
    else if (t > last)
        t = last;
    const QDate d = t.date();
    const QTime h = t.time();
    // Only the fields are stored; UTC keeps a local time that a clock change
    // skips from being moved.
    return g_date_time_new_utc(d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second());
}

// Read-only, hidden, system and archive, as far as this file system knows them.
guint32 attributesOf(const QFileInfo& info) {
    guint32 attr = GCAB_FILE_ATTRIBUTE_ARCH;
    if (!(info.permissions() & QFileDevice::WriteOwner))
        attr |= GCAB_FILE_ATTRIBUTE_RDONLY;
    if (info.fileName().startsWith(u'.'))
        attr |= GCAB_FILE_ATTRIBUTE_HIDDEN;
    return attr & 0x27;
}

GBytes* bytesOf(QByteArray&& data) {
    auto* held = new QByteArray(std::move(data));
    return g_bytes_new_with_free_func(
        held->constData(), size_t(held->size()),
        [](gpointer p) { delete static_cast<QByteArray*>(p); }, held);
}

struct Progress {
    TCABFile* sender;
    const TCompressProgress* handler;
    std::vector<qint64> sizes; // of the files in the cabinet's order
    qint64 total = 0;
    qint64 done = 0;
    qint64 reported = -1;
    size_t next = 0;

    void report(qint64 pos) {
        pos = std::min(pos, total);
        if (pos <= reported)
            return;
        reported = pos;
        if (*handler)
            (*handler)(sender, qint32(pos), qint32(total));
    }
};

// Called by the writer before it reads each file, in order: the files before
// it are compressed by then.
gboolean beforeFile(GCabFile*, gpointer data) {
    auto* p = static_cast<Progress*>(data);
    if (p->next > 0)
        p->report(p->done);
    if (p->next < p->sizes.size())
        p->done += p->sizes[p->next++];
    return TRUE;
}

} // namespace

QString ECABFileError::textForCode(int code) {
    switch (code) {
    case None:
        return QStringLiteral("No error");
    case OpenSource:
        return QStringLiteral("Failure opening file to be stored in cabinet");
    case ReadSource:
        return QStringLiteral("Failure reading file to be stored in cabinet");
    case AllocFail:
        return QStringLiteral("Insufficient memory in FCI");
    case TempFile:
        return QStringLiteral("Could not create a temporary file");
    case BadCompressionType:
        return QStringLiteral("Unknown compression type");
    case CabFile:
        return QStringLiteral("Could not create cabinet file");
    case UserAbort:
        return QStringLiteral("Client requested abort");
    case MciFail:
        return QStringLiteral("Failure compressing data");
    default:
        return QStringLiteral("Unknown error");
    }
}

QString TCABFileEntry::cabinetName() const {
    const QString file = QFileInfo(m_name).fileName();
    if (m_relPath.isEmpty())
        return file;
    QString name = m_relPath;
    name.replace(u'/', u'\\');
    if (!name.endsWith(u'\\'))
        name += u'\\';
    return name + file;
}

QString TCABFile::Version() const {
    return QStringLiteral("%1.%2.%3.%4")
        .arg((kPackedVersion >> 24) & 0xFF)
        .arg((kPackedVersion >> 16) & 0xFF)
        .arg((kPackedVersion >> 8) & 0xFF)
        .arg(kPackedVersion & 0xFF);
}

int TCABFile::compressionCode(TCompressionType type, TLZXMemory memory) {
    switch (type) {
    case typNone:
        return 0;
    case typMSZIP:
        return 1;
    case typLZX:
        return 3 | ((15 + int(memory)) << 8);
    }
    return -1;
}

bool TCABFile::Compress() {
    const int count = m_contents.Count();

    // Every source is opened before anything is stored, which also gives the total.
    Progress progress{this, &m_onProgress, {}};
    std::vector<QString> sources;
    for (int i = 0; i < count; ++i) {
        const QString path = QFileInfo(m_contents.Items(i).Name()).absoluteFilePath();
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw EFOpenError(QStringLiteral("Datei %1 kann nicht geöffnet werden. %2")
                                  .arg(QDir::toNativeSeparators(path), f.errorString()));
        sources.push_back(path);
        progress.sizes.push_back(f.size());
        progress.total += f.size();
    }
    if (progress.total > kMaxCabinetBytes)
        throw ECABFileError(ECABFileError::CabFile);

    const int code = compressionCode(m_compressionType, m_lzxMemory);
    GPtr<GCabCabinet> cabinet(gcab_cabinet_new());
    GPtr<GCabFolder> folder;
    for (int i = 0; i < count; ++i) {
        // libgcab writes no LZX; the check is where the cabinet library makes it.
        if (code != GCAB_COMPRESSION_NONE && code != GCAB_COMPRESSION_MSZIP)
            throw ECABFileError(ECABFileError::BadCompressionType);
        if (!folder)
            folder.reset(gcab_folder_new(code));

        const QString& path = sources[size_t(i)];
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            throw ECABFileError(ECABFileError::OpenSource);
        QByteArray data = f.readAll();
        if (f.error() != QFileDevice::NoError)
            throw ECABFileError(ECABFileError::ReadSource);
        if (data.size() > kMaxCabinetBytes)
            throw ECABFileError(ECABFileError::CabFile);
        progress.sizes[size_t(i)] = data.size();

        const QFileInfo info(path);
        GBytes* bytes = bytesOf(std::move(data));
        GPtr<GCabFile> file(gcab_file_new_with_bytes(
            m_contents.Items(i).cabinetName().toUtf8().constData(), bytes));
        g_bytes_unref(bytes);
        GDateTime* when = dosDateTime(info.lastModified());
        gcab_file_set_date_time(file.get(), when);
        g_date_time_unref(when);
        gcab_file_set_attributes(file.get(), attributesOf(info));

        GError* error = nullptr;
        if (!gcab_folder_add_file(folder.get(), file.get(), FALSE, nullptr, &error)) {
            // Two entries of the same name in the cabinet.
            std::unique_ptr<GError, GErrorDeleter> held(error);
            throw ECABFileError(-1);
        }
    }
    if (!folder)
        folder.reset(gcab_folder_new(code == GCAB_COMPRESSION_MSZIP ? code : 0));
    GError* error = nullptr;
    if (!gcab_cabinet_add_folder(cabinet.get(), folder.get(), &error)) {
        std::unique_ptr<GError, GErrorDeleter> held(error);
        throw ECABFileError(ECABFileError::MciFail);
    }

    GPtr<GOutputStream> out(g_memory_output_stream_new_resizable());
    if (!gcab_cabinet_write(cabinet.get(), out.get(), beforeFile, nullptr, &progress, nullptr,
                            &error)) {
        std::unique_ptr<GError, GErrorDeleter> held(error);
        throw ECABFileError(error && error->domain == G_IO_ERROR ? ECABFileError::ReadSource
                                                                 : ECABFileError::MciFail);
    }
    if (!g_output_stream_close(out.get(), nullptr, &error)) {
        std::unique_ptr<GError, GErrorDeleter> held(error);
        throw ECABFileError(ECABFileError::AllocFail);
    }
    auto* memory = G_MEMORY_OUTPUT_STREAM(out.get());
    QByteArray cab(static_cast<const char*>(g_memory_output_stream_get_data(memory)),
                   qsizetype(g_memory_output_stream_get_data_size(memory)));
    if (cab.size() < kSetIdOffset + 2)
        throw ECABFileError(ECABFileError::MciFail);
    cab[kSetIdOffset] = char(kSetId & 0xFF);
    cab[kSetIdOffset + 1] = char(kSetId >> 8);

    try {
        writeFileAtomically(m_cabFile, cab);
    } catch (const EWriteError&) {
        throw ECABFileError(ECABFileError::CabFile);
    }
    progress.report(progress.total);
    if (progress.reported < 0 && m_onProgress)
        m_onProgress(this, 0, 0);
    return true;
}

} // namespace kalvendo
