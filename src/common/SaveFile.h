#pragma once

#include "common/Exception.h"

#include <QSaveFile>
#include <QString>

namespace kalvendo {

// Raised when a file cannot be written; the message names the file.
KALVENDO_DECLARE_EXCEPTION(EWriteError, EInOutError)

// The one way the program replaces a file: everything goes to a temporary file
// that takes the target's place only when every byte reached the disk. Qt's
// QSaveFile buffers writes and commits even after a buffered write failed
// (ENOSPC), which would leave an empty or cut file; commit() here checks first.
//
// Without commit() (an exception, a cancelled run) the target is left as it was.
class SaveFile {
public:
    // Opens the temporary file beside `path`. Throws EWriteError.
    explicit SaveFile(const QString& path);
    SaveFile(const SaveFile&) = delete;
    SaveFile& operator=(const SaveFile&) = delete;

    // The device that streaming writers write to.
    QIODevice& device() { return m_file; }
    const QString& path() const { return m_path; }

    // Writes bytes; throws EWriteError when the device refuses them.
    void write(const QByteArray& bytes);

    // Flushes, checks that nothing failed, and replaces the target. Throws
    // EWriteError (the target unchanged) when any write or the rename failed.
    void commit();

    // "In %s kann nicht geschrieben werden" for `path`.
    static QString cannotWriteMessage(const QString& path);

private:
    [[noreturn]] void fail();

    QString m_path;
    QSaveFile m_file;
};

// Replaces `path` with `bytes` through SaveFile. Throws EWriteError.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace kalvendo
