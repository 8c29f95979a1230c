#include "settings/Restore.h"

#include "addressbook/AddressStore.h"
#include "common/Folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace kalvendo {

namespace {

fs::path toPath(const QString& s) {
    return fs::path(QFile::encodeName(s).toStdString());
}

// Renames that are undone, last first, unless the whole swap succeeded.
class Swap {
public:
    ~Swap() {
        if (m_done)
            return;
        for (auto it = m_moves.rbegin(); it != m_moves.rend(); ++it) {
            std::error_code ec;
            fs::rename(toPath(it->second), toPath(it->first), ec);
        }
    }
    void move(const QString& from, const QString& to) {
        std::error_code ec;
        fs::rename(toPath(from), toPath(to), ec);
        if (ec)
            throw ERestoreError(QStringLiteral("%1 kann nicht ersetzt werden / %1 cannot be "
                                               "replaced: %2")
                                    .arg(to, QString::fromLocal8Bit(ec.message())));
        m_moves.emplace_back(from, to);
    }
    void done() { m_done = true; }

private:
    std::vector<std::pair<QString, QString>> m_moves;
    bool m_done = false;
};

} // namespace

void restoreTableFiles(const QString& sourceFolder, const QString& dataFolder) {
    const QDir from(sourceFolder), data(dataFolder);
    struct File {
        QString source, target, fresh, aside, journal, journalAside;
    };
    std::vector<File> files;
    // The index takes its place before the table: the table decides on open
    // whether the index beside it belongs to it.
    for (const QString& name : {AddressStore::kIndexFile, AddressStore::kTableFile}) {
        const QString target = data.filePath(name);
        files.push_back({from.filePath(name), target, data.filePath(u'.' + name + u".restore"),
                         data.filePath(u'.' + name + u".replaced"),
                         target + QStringLiteral("-journal"),
                         data.filePath(u'.' + name + u"-journal.replaced")});
    }
    const auto removeFresh = [&] {
        for (const File& f : files)
            QFile::remove(f.fresh);
    };

    if (!QFileInfo(dataFolder).isDir())
        throw ERestoreError(
            QStringLiteral("Der Datenordner %1 existiert nicht / the data folder %1 does not exist")
                .arg(dataFolder));
    try {
        for (const File& f : files) {
            if (!QFileInfo(f.source).isFile())
                throw ERestoreError(
                    QStringLiteral("%1 existiert nicht / %1 does not exist").arg(f.source));
        }
        for (const File& f : files)
            copyFileWhole(f.source, f.fresh);
        // The copies are checked, not the sources: what is checked is what is used.
        AddressStore::checkFiles(files[1].fresh, files[0].fresh);
    } catch (const Exception& e) {
        removeFresh();
        throw ERestoreError(e.message());
    }

    try {
        // Undone on the way out unless complete, before the copies are removed.
        Swap swap;
        for (const File& f : files) {
            for (const QString& stale : {f.aside, f.journalAside})
                QFile::remove(stale);
            if (fs::exists(fs::symlink_status(toPath(f.target))))
                swap.move(f.target, f.aside);
            // A journal left by the old table would be played back into the new one.
            if (fs::exists(fs::symlink_status(toPath(f.journal))))
                swap.move(f.journal, f.journalAside);
        }
        for (const File& f : files)
            swap.move(f.fresh, f.target);
        swap.done();
    } catch (const ERestoreError&) {
        removeFresh();
        throw;
    }
    for (const File& f : files) {
        QFile::remove(f.aside);
        QFile::remove(f.journalAside);
    }
}

RestoreOutcome restoreDatabase(const QString& sourceFolder, const QString& dataFolder,
                               const std::function<void()>& disconnect,
                               const std::function<void()>& reconnect) {
    disconnect();
    RestoreOutcome outcome{notice::dbres, {}};
    try {
        restoreTableFiles(sourceFolder, dataFolder);
    } catch (const ERestoreError& e) {
        outcome = {notice::dbreserror, e.message()};
    } catch (...) {
        reconnect();
        throw;
    }
    reconnect();
    return outcome;
}

} // namespace kalvendo
