#include "common/SaveFile.h"

namespace kalvendo {

QString SaveFile::cannotWriteMessage(const QString& path) {
    return QStringLiteral("In %1 kann nicht geschrieben werden").arg(path);
}

SaveFile::SaveFile(const QString& path) : m_path(path), m_file(path) {
    if (!m_file.open(QIODevice::WriteOnly))
        fail();
}

void SaveFile::write(const QByteArray& bytes) {
    if (m_file.write(bytes) != bytes.size())
        fail();
}

void SaveFile::commit() {
    // flush() reports the failure of a buffered write that commit() would not.
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
        fail();
    if (!m_file.commit())
        fail();
}

void SaveFile::fail() {
    if (m_file.isOpen())
        m_file.cancelWriting();
    throw EWriteError(cannotWriteMessage(m_path));
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
    SaveFile f(path);
    f.write(bytes);
    f.commit();
}

} // namespace kalvendo
