// Times the backup of a table of generated records beside a plain `cp` of its
// two files, and the packing of a data folder of about 50 MB beside
// `gcab -c -z` on the same six files, in the same run.
//
//   bench_maintenance [records] [megabytes]

#include "addressbook/AddressStore.h"
#include "addressbook/Fields.h"
#include "common/SaveFile.h"
#include "settings/Backup.h"
#include "settings/CabFiles.h"
#include "settings/Packing.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace kalvendo;

namespace {

double ms(const std::function<void()>& work, const std::function<void()>& before = {},
          int repeat = 3) {
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        if (before)
            before();
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

void report(const char* what, double ours, const char* baseline, double plain) {
    std::printf("%-36s %9.1f ms   %-14s %9.1f ms   ratio %5.2f\n", what, ours, baseline, plain,
                plain > 0 ? ours / plain : 0.0);
    std::fflush(stdout);
}

bool run(const QString& program, const QStringList& args) {
    return QProcess::execute(program, args) == 0;
}

Record generated(QRandomGenerator& rng, int i) {
    static const char* syllables[] = {"Mül", "ler", "Schmi", "dt",   "Mey", "er", "Wag", "ner",
                                      "Bec", "ker", "Hof",   "mann", "Öz",  "de", "Kä",  "Fi"};
    auto word = [&](int parts) {
        QString w;
        for (int p = 0; p < parts; ++p)
            w += QString::fromUtf8(syllables[rng.bounded(int(std::size(syllables)))]);
        return w;
    };
    Record r;
    r[fName] = word(2 + rng.bounded(2));
    r[fVorname] = word(2);
    r[fStrasse] = word(2) + QStringLiteral("straße");
    r[fPLZ] = QStringLiteral("%1").arg(rng.bounded(1000, 99999), 5, 10, QChar(u'0'));
    r[fWohnort] = word(2);
    r[fTelefon] =
        QStringLiteral("0%1 / %2").arg(rng.bounded(30, 999)).arg(rng.bounded(100000, 9999999));
    r[fEmail] = r[fVorname].toLower() + QStringLiteral("@example.org");
    r[fGruppe] = QStringLiteral("Gruppe %1").arg(i % 10);
    return r;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 100000;
    const qint64 megabytes = argc > 2 ? std::atoi(argv[2]) : 50;
    const QString gcab = QStandardPaths::findExecutable(QStringLiteral("gcab"));

    QTemporaryDir dir;
    const QString appPath = dir.path() + u'/';
    const QString data = dataFolderPath(appPath);
    QDir().mkpath(data);
    AddressStore::createTable(data);
    writeFileAtomically(data + QStringLiteral("/ab.ini"), "[preferences]\r\nlanguage=German\r\n");
    writeFileAtomically(data + QStringLiteral("/group.txt"), "Kunden\r\nFreunde\r\n");
    {
        QRandomGenerator rng(2009);
        std::vector<Record> rs;
        rs.reserve(size_t(records));
        for (int i = 0; i < records; ++i)
            rs.push_back(generated(rng, i));
        AddressStore store;
        store.open(data);
        store.insertRecords(rs);
    }
    const qint64 tableBytes = QFileInfo(data + QStringLiteral("/adressen.adt")).size() +
                              QFileInfo(data + QStringLiteral("/adressen.adi")).size();
    std::printf("%d records, table files %.1f MB\n", records, tableBytes / 1048576.0);

    const QString backups = dir.path() + QStringLiteral("/backups");
    QDir().mkpath(backups);
    const QString target = backups + QStringLiteral("/07032024");
    const QString plain = backups + QStringLiteral("/plain");
    const double backup = ms([&] { backupDataFolder(data, target); });
    const double cp = ms(
        [&] {
            run(QStringLiteral("cp"), {data + QStringLiteral("/adressen.adt"),
                                       data + QStringLiteral("/adressen.adi"), plain});
        },
        [&] {
            QDir(plain).removeRecursively();
            QDir().mkpath(plain);
        });
    report("backup (whole data folder)", backup, "cp of 2 files", cp);

    // A log large enough to bring the six files to the size asked for.
    QByteArray log;
    const qint64 fill = std::max<qint64>(0, megabytes * 1048576 - tableBytes);
    QRandomGenerator rng(7);
    while (log.size() < fill)
        log += "07.03.2024   10:00:" + QByteArray::number(rng.bounded(60)) +
               "   Die Datei kann nicht geöffnet werden   EInOutError   Button" +
               QByteArray::number(rng.bounded(100)) + "\r\n";
    writeFileAtomically(data + QStringLiteral("/log.txt"), log);
    writeFileAtomically(data + QStringLiteral("/col.ini"), "[col]\r\nw0=80\r\n");
    QStringList six;
    qint64 total = 0;
    for (const QString& name : packedFileNames()) {
        six << data + u'/' + name;
        total += QFileInfo(six.last()).size();
    }
    std::printf("six files %.1f MB\n", total / 1048576.0);
    if (gcab.isEmpty()) {
        std::printf("gcab is not installed: no packing baseline\n");
        return 0;
    }

    const QString cab = dir.path() + QStringLiteral("/upload.CAB");
    const QString gcabOut = dir.path() + QStringLiteral("/gcab.cab");
    const auto removeCabs = [&] {
        QFile::remove(cab);
        QFile::remove(gcabOut);
    };
    const double baseline = ms(
        [&] {
            run(gcab, QStringList{QStringLiteral("-c"), QStringLiteral("-z"), QStringLiteral("-n"),
                                  gcabOut} +
                          six);
        },
        removeCabs);
    const double compress = ms(
        [&] {
            TCABFile c;
            c.setCABFile(cab);
            for (const QString& f : six)
                c.CABFileContents().Add().setName(f);
            c.Compress();
        },
        removeCabs);
    report("TCABFile::Compress (six files)", compress, "gcab -c -z", baseline);
    const double pack = ms([&] { packData(appPath, cab); }, removeCabs);
    report("packing (copy to temp + cabinet)", pack, "gcab -c -z", baseline);
    return 0;
}
