#include "common/Folders.h"

#include "common/SaveFile.h"

#include <QFile>

#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace kalvendo {

namespace {

constexpr qint64 kPiece = 1 << 20;

fs::path toPath(const QString& s) {
    return fs::path(QFile::encodeName(s).toStdString());
}

QString fromPath(const fs::path& p) {
    return QFile::decodeName(QByteArray::fromStdString(p.string()));
}

QString reasonOf(const std::error_code& ec) {
    return QString::fromLocal8Bit(ec.message());
}

// The failure of one step, already worded for the user.
struct Failed {
    QString message;
};

[[noreturn]] void failOn(const QString& what, const fs::path& p, const std::error_code& ec) {
    throw Failed{what.arg(fromPath(p)) + QStringLiteral(": ") + reasonOf(ec)};
}

struct Item {
    fs::path relative;
    fs::file_type type;
    qint64 size;
};

// Everything below root, parents before their contents. Directory links are
// not followed.
std::vector<Item> listTree(const fs::path& root, const CopyFilter& skip) {
    std::vector<Item> items;
    std::error_code ec;
    fs::recursive_directory_iterator it(root, ec), end;
    if (ec)
        failOn(QStringLiteral("Der Ordner %1 kann nicht gelesen werden / the folder %1 cannot be "
                              "read"),
               root, ec);
    for (; it != end; it.increment(ec)) {
        if (ec)
            failOn(QStringLiteral("Der Ordner %1 kann nicht gelesen werden / the folder %1 cannot "
                                  "be read"),
                   root, ec);
        const fs::path rel = it->path().lexically_relative(root);
        const fs::file_status st = it->symlink_status(ec);
        if (ec)
            failOn(QStringLiteral("%1 kann nicht gelesen werden / %1 cannot be read"), it->path(),
                   ec);
        if (skip && skip(fromPath(rel.generic_string()))) {
            if (st.type() == fs::file_type::directory)
                it.disable_recursion_pending();
            continue;
        }
        qint64 size = 0;
        if (st.type() == fs::file_type::regular) {
            size = qint64(it->file_size(ec));
            if (ec)
                failOn(QStringLiteral("%1 kann nicht gelesen werden / %1 cannot be read"),
                       it->path(), ec);
        }
        items.push_back({rel, st.type(), size});
    }
    return items;
}

} // namespace

void copyFileWhole(const QString& source, const QString& target,
                   const std::function<void(qint64)>& advanced) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw EFOpenError(QStringLiteral("Datei %1 kann nicht geöffnet werden. %2")
                              .arg(source, in.errorString()));
    SaveFile out(target);
    for (;;) {
        const QByteArray piece = in.read(kPiece);
        if (piece.isEmpty()) {
            if (in.error() != QFileDevice::NoError || !in.atEnd())
                throw EInOutError(QStringLiteral("Datei %1 kann nicht gelesen werden. %2")
                                      .arg(source, in.errorString()));
            break;
        }
        out.write(piece);
        if (advanced)
            advanced(piece.size());
    }
    out.commit();

    // The copy keeps the source's time and permissions, as a desktop copy does;
    // a file system that cannot hold them still has a complete copy.
    std::error_code ec;
    const fs::path from = toPath(source), to = toPath(target);
    const auto time = fs::last_write_time(from, ec);
    if (!ec)
        fs::last_write_time(to, time, ec);
    const auto perms = fs::status(from, ec).permissions();
    if (!ec)
        fs::permissions(to, perms, ec);
}

bool copyFolder(const QString& source, const QString& target, QString* error,
                const FolderProgress& progress, const CopyFilter& skip) {
    const fs::path from = toPath(source), to = toPath(target);
    try {
        std::error_code ec;
        if (!fs::is_directory(from, ec))
            throw Failed{QStringLiteral("Der Ordner %1 existiert nicht / the folder %1 does not "
                                        "exist")
                             .arg(source)};
        const std::vector<Item> items = listTree(from, skip);
        qint64 total = 0;
        for (const Item& i : items)
            total += i.size;
        qint64 done = 0;
        if (progress)
            progress(done, total);

        if (!fs::is_directory(to, ec)) {
            fs::create_directory(to, from, ec);
            if (ec)
                failOn(QStringLiteral("Der Ordner %1 kann nicht angelegt werden / the folder %1 "
                                      "cannot be created"),
                       to, ec);
        }
        for (const Item& i : items) {
            const fs::path src = from / i.relative, dst = to / i.relative;
            switch (i.type) {
            case fs::file_type::directory:
                if (!fs::is_directory(dst, ec)) {
                    fs::create_directory(dst, src, ec);
                    if (ec)
                        failOn(QStringLiteral("Der Ordner %1 kann nicht angelegt werden / the "
                                              "folder %1 cannot be created"),
                               dst, ec);
                }
                break;
            case fs::file_type::regular:
                try {
                    copyFileWhole(fromPath(src), fromPath(dst), [&](qint64 bytes) {
                        done += bytes;
                        if (progress)
                            progress(std::min(done, total), total);
                    });
                } catch (const Exception& e) {
                    throw Failed{e.message()};
                }
                break;
            case fs::file_type::symlink: {
                if (fs::exists(fs::symlink_status(dst, ec)))
                    fs::remove(dst, ec);
                fs::copy_symlink(src, dst, ec);
                if (ec)
                    failOn(QStringLiteral("Die Verknüpfung %1 kann nicht kopiert werden / the "
                                          "link %1 cannot be copied"),
                           src, ec);
                break;
            }
            default:
                // A pipe or socket has no contents to keep; reading one could block forever.
                break;
            }
        }
        if (progress)
            progress(total, total);
        return true;
    } catch (const Failed& f) {
        if (error)
            *error = f.message;
        return false;
    }
}

bool deleteFolder(const QString& path, QString* error, const FolderProgress& progress) {
    const fs::path root = toPath(path);
    try {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(root, ec);
        if (!fs::exists(st))
            throw Failed{QStringLiteral("%1 existiert nicht / %1 does not exist").arg(path)};
        qint64 total = 0;
        if (progress) {
            // Files first, so that the removal can be followed by bytes.
            qint64 done = 0;
            std::vector<Item> items;
            if (st.type() == fs::file_type::directory)
                items = listTree(root, {});
            else if (st.type() == fs::file_type::regular)
                total = qint64(fs::file_size(root, ec));
            for (const Item& i : items)
                total += i.size;
            progress(0, total);
            for (const Item& i : items) {
                if (i.type == fs::file_type::regular) {
                    fs::remove(root / i.relative, ec);
                    if (ec)
                        failOn(QStringLiteral("%1 kann nicht gelöscht werden / %1 cannot be "
                                              "removed"),
                               root / i.relative, ec);
                    done += i.size;
                    progress(done, total);
                }
            }
        }
        fs::remove_all(root, ec);
        if (ec)
            failOn(QStringLiteral("%1 kann nicht gelöscht werden / %1 cannot be removed"), root,
                   ec);
        if (progress)
            progress(total, total);
        return true;
    } catch (const Failed& f) {
        if (error)
            *error = f.message;
        return false;
    }
}

} // namespace kalvendo
