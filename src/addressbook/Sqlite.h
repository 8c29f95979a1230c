#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

namespace kalvendo::sqlite {

// A failed SQLite call: result code and the engine's message. The store turns
// it into an EDatabaseError that also names the file and the operation.
struct Failure {
    int code;
    QString message;
};

[[noreturn]] void fail(sqlite3* db, int rc);
void exec(sqlite3* db, const char* sql);
inline void exec(sqlite3* db, const QByteArray& sql) {
    exec(db, sql.constData());
}

// A prepared statement; every value is bound as a parameter.
class Statement {
public:
    Statement() = default;
    Statement(sqlite3* db, const QByteArray& sql, bool persistent = false);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool isValid() const { return m_stmt != nullptr; }

    // Parameters count from 1, as in SQLite.
    void bind(int i, const QString& text);
    void bind(int i, qint64 value);
    void bindBlob(int i, QByteArrayView blob);

    // True while there is a row; false when done. Throws Failure.
    bool step();
    // Ready for the next run with new parameters.
    void reset();

    qint64 int64(int col) const;
    QString text(int col) const;
    QByteArrayView utf8(int col) const;
    QByteArrayView blob(int col) const;

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace kalvendo::sqlite
