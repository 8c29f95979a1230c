#include "settings/Packing.h"

#include "settings/Backup.h"

#include <QDir>
#include <QFileInfo>

namespace kalvendo {

namespace {

// temp goes on every way out of the command.
class TempFolder {
public:
    explicit TempFolder(QString path) : m_path(std::move(path)) {}
    ~TempFolder() { remove(); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool exists() const {
        const QFileInfo info(m_path);
        return info.exists() || info.isSymLink();
    }
    void remove() {
        if (exists())
            deleteFolder(m_path);
    }

private:
    QString m_path;
};

} // namespace

const QStringList& packedFileNames() {
    static const QStringList names{QStringLiteral("ab.ini"),       QStringLiteral("adressen.adi"),
                                   QStringLiteral("adressen.adt"), QStringLiteral("col.ini"),
                                   QStringLiteral("group.txt"),    QStringLiteral("log.txt")};
    return names;
}

QString packTempPath(const QString& applicationPath) {
    return applicationPath + QStringLiteral("temp");
}

std::optional<Notice> packData(const QString& applicationPath, const QString& cabFile,
                               const PackProgress& progress) {
    const QString temp = packTempPath(applicationPath);
    TempFolder guard(temp);
    // A copy into a temp left by an interrupted run would pack its older files.
    if (guard.exists()) {
        QString reason;
        if (!deleteFolder(temp, &reason))
            throw EDataCopyError(reason);
    }
    copyDataFolder(dataFolderPath(applicationPath), temp, progress.copying);

    const QFileInfo target(cabFile);
    if (target.exists() || target.isSymLink())
        return notice::fileexists;

    TCABFile cab;
    cab.setCompressionType(typMSZIP);
    cab.setLZXMemory(lzxHighest);
    cab.setCABFile(cabFile);
    cab.setOnCompressProgress(progress.compressing);
    cab.CABFileContents().Clear();
    const QDir copy(temp);
    for (const QString& name : packedFileNames()) {
        TCABFileEntry& entry = cab.CABFileContents().Add();
        entry.setName(copy.filePath(name));
        entry.setRelPath(QString());
    }
    if (!cab.Compress())
        return std::nullopt;
    return notice::datacompressed;
}

} // namespace kalvendo
