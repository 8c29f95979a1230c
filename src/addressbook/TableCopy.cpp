#include "addressbook/TableCopy.h"

#include "addressbook/AddressStore.h"
#include "addressbook/DatabaseError.h"
#include "addressbook/Sqlite.h"
#include "common/Folders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <filesystem>

namespace kalvendo {

using sqlite::Failure;
using sqlite::Statement;

namespace {

constexpr int kPagesPerStep = 256;
constexpr qint64 kBusyMilliseconds = 30000;

// A connection closed on every way out.
class Connection {
public:
    Connection(const QString& path, int flags) {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
        if (rc != SQLITE_OK)
            sqlite::fail(m_db, rc);
        sqlite3_extended_result_codes(m_db, 1);
    }
    ~Connection() { sqlite3_close_v2(m_db); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* get() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
};

void removeWithJournal(const QString& path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

void backUp(sqlite3* source, const char* schema, const QString& target,
            const std::function<void(qint64)>& advanced) {
    Statement pageSize(source, QByteArray("PRAGMA ") + schema + ".page_size");
    const qint64 bytesPerPage = pageSize.step() ? pageSize.int64(0) : 0;

    removeWithJournal(target);
    Connection dest(target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX);
    // A copy that fails is thrown away whole, so it needs no journal of its own.
    sqlite::exec(dest.get(), "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
    sqlite3_backup* backup = sqlite3_backup_init(dest.get(), "main", source, schema);
    if (!backup)
        sqlite::fail(dest.get(), sqlite3_errcode(dest.get()));
    qint64 reported = 0;
    int rc;
    do {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        const qint64 done =
            qint64(sqlite3_backup_pagecount(backup) - sqlite3_backup_remaining(backup)) *
            bytesPerPage;
        if (advanced && done > reported)
            advanced(done - reported);
        reported = std::max(reported, done);
    } while (rc == SQLITE_OK);
    // finish reports the step's error again, so the first failure is kept.
    const int finished = sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE)
        sqlite::fail(dest.get(), rc);
    if (finished != SQLITE_OK)
        sqlite::fail(dest.get(), finished);
}

void keepTime(const QString& source, const QString& copy) {
    std::error_code ec;
    const auto time = std::filesystem::last_write_time(QFile::encodeName(source).toStdString(), ec);
    if (!ec)
        std::filesystem::last_write_time(QFile::encodeName(copy).toStdString(), time, ec);
}

bool unreadable(const Failure& f) {
    const int primary = f.code & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

} // namespace

bool isTableJournal(const QString& fileName) {
    for (const QString& file : {AddressStore::kTableFile, AddressStore::kIndexFile}) {
        for (const char* suffix : {"-journal", "-wal", "-shm", "-mj"}) {
            if (fileName.startsWith(file + QLatin1String(suffix)))
                return true;
        }
    }
    return false;
}

void copyTableFiles(const QString& folder, const QString& targetFolder,
                    const std::function<void(qint64)>& advanced) {
    const QDir from(folder), to(targetFolder);
    const QString table = from.filePath(AddressStore::kTableFile);
    const QString index = from.filePath(AddressStore::kIndexFile);
    const QString tableCopy = to.filePath(AddressStore::kTableFile);
    const QString indexCopy = to.filePath(AddressStore::kIndexFile);
    const bool hasTable = QFileInfo(table).isFile();
    const bool hasIndex = QFileInfo(index).isFile();
    if (!hasTable) {
        // An index without its table is only bytes.
        if (hasIndex)
            copyFileWhole(index, indexCopy, advanced);
        return;
    }
    try {
        // Never create: a missing table is not made empty by a backup.
        Connection source(table, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX);
        // A writer's commit holds the files for a moment at a time; looking
        // again every millisecond finds the gaps between its transactions, where
        // growing pauses could miss them for as long as the writer is busy.
        QElapsedTimer waiting;
        waiting.start();
        sqlite3_busy_handler(
            source.get(),
            [](void* timer, int) {
                if (static_cast<QElapsedTimer*>(timer)->elapsed() > kBusyMilliseconds)
                    return 0;
                sqlite3_sleep(1);
                return 1;
            },
            &waiting);
        // Pages are read from the mapped file rather than one call each.
        sqlite::exec(source.get(), "PRAGMA mmap_size=1073741824");
        if (hasIndex) {
            Statement attach(source.get(), "ATTACH DATABASE ?1 AS idx");
            attach.bind(1, index);
            attach.step();
            sqlite::exec(source.get(), "PRAGMA idx.mmap_size=1073741824");
        }
        // One read transaction over both files: a writer commits to both or to
        // neither while it lasts, so the two copies belong together.
        sqlite::exec(source.get(), "BEGIN");
        Statement(source.get(), "SELECT count(*) FROM main.sqlite_schema").step();
        if (hasIndex)
            Statement(source.get(), "SELECT count(*) FROM idx.sqlite_schema").step();
        backUp(source.get(), "main", tableCopy, advanced);
        if (hasIndex)
            backUp(source.get(), "idx", indexCopy, advanced);
        sqlite::exec(source.get(), "COMMIT");
    } catch (const Failure& f) {
        removeWithJournal(tableCopy);
        removeWithJournal(indexCopy);
        if (!unreadable(f))
            throw EDatabaseError(QStringLiteral("Die Tabelle %1 kann nicht kopiert werden / the "
                                                "table %1 cannot be copied: %2 (SQLite %3)")
                                     .arg(table, f.message)
                                     .arg(f.code));
        copyFileWhole(table, tableCopy, advanced);
        if (hasIndex)
            copyFileWhole(index, indexCopy, advanced);
        return;
    }
    // Like any copy, the files keep their last-write time.
    keepTime(table, tableCopy);
    if (hasIndex)
        keepTime(index, indexCopy);
}

} // namespace kalvendo
