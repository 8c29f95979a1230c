// Writes to the address table in a data folder until a file "stop" appears
// there: inserts, changes and deletes, each one transaction over both files.
// Prints "ready" once the first record is written.

#include "addressbook/AddressStore.h"
#include "addressbook/Fields.h"

#include <QFileInfo>
#include <QString>

#include <cstdio>
#include <deque>

using namespace kalvendo;

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    try {
        AddressStore store;
        store.open(folder);
        std::deque<qint64> ids;
        for (int i = 0;; ++i) {
            Record r;
            r[fName] = QStringLiteral("Schreiber %1").arg(i);
            r[fVorname] = QStringLiteral("Vorname %1").arg(i % 97);
            r[fWohnort] = QStringLiteral("Ort %1").arg(i % 13);
            ids.push_back(store.insertRecord(r));
            if (i % 3 == 0) {
                r[fStrasse] = QStringLiteral("Geändert %1").arg(i);
                store.updateRecord(ids.back(), r);
            }
            if (i % 5 == 4) {
                store.deleteRecord(ids.front());
                ids.pop_front();
            }
            if (i == 0) {
                std::puts("ready");
                std::fflush(stdout);
            }
            if (QFileInfo::exists(folder + QStringLiteral("/stop")))
                return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
