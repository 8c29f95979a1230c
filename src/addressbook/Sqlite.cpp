#include "addressbook/Sqlite.h"

#include <sqlite3.h>

#include <utility>

namespace kalvendo::sqlite {

void fail(sqlite3* db, int rc) {
    QString msg = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString();
    if (msg.isEmpty())
        msg = QString::fromUtf8(sqlite3_errstr(rc));
    throw Failure{rc, msg};
}

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        QString msg = err ? QString::fromUtf8(err) : QString::fromUtf8(sqlite3_errstr(rc));
        sqlite3_free(err);
        throw Failure{rc, msg};
    }
}

Statement::Statement(sqlite3* db, const QByteArray& sql, bool persistent) : m_db(db) {
    const int rc = sqlite3_prepare_v3(db, sql.constData(), static_cast<int>(sql.size()),
                                      persistent ? SQLITE_PREPARE_PERSISTENT : 0, &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        fail(db, rc);
}

Statement::~Statement() {
    sqlite3_finalize(m_stmt);
}

Statement::Statement(Statement&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_stmt(std::exchange(other.m_stmt, nullptr)) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(m_stmt);
        m_db = std::exchange(other.m_db, nullptr);
        m_stmt = std::exchange(other.m_stmt, nullptr);
    }
    return *this;
}

void Statement::bind(int i, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const int rc = sqlite3_bind_text(m_stmt, i, utf8.constData(), static_cast<int>(utf8.size()),
                                     SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(m_db, rc);
}

void Statement::bind(int i, qint64 value) {
    const int rc = sqlite3_bind_int64(m_stmt, i, value);
    if (rc != SQLITE_OK)
        fail(m_db, rc);
}

void Statement::bindBlob(int i, QByteArrayView blob) {
    // A zero-length blob must still be a blob, not NULL.
    static const char empty = 0;
    const int rc = sqlite3_bind_blob(m_stmt, i, blob.isEmpty() ? &empty : blob.data(),
                                     static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(m_db, rc);
}

bool Statement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // Keep the message before reset() can replace it.
    QString msg = QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_reset(m_stmt);
    throw Failure{rc, msg};
}

void Statement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

qint64 Statement::int64(int col) const {
    return sqlite3_column_int64(m_stmt, col);
}

QString Statement::text(int col) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
    return QString::fromUtf8(p, sqlite3_column_bytes(m_stmt, col));
}

QByteArrayView Statement::utf8(int col) const {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
    return QByteArrayView(p, sqlite3_column_bytes(m_stmt, col));
}

QByteArrayView Statement::blob(int col) const {
    const auto* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, col));
    return QByteArrayView(p, sqlite3_column_bytes(m_stmt, col));
}

} // namespace kalvendo::sqlite
