// Creates an empty address table in a data folder; used by the build and the
// installation to lay out the default data folder.
#include "addressbook/AddressStore.h"
#include "common/Exception.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: kalvendo-mkdata DATA_FOLDER\n");
        return 2;
    }
    try {
        QDir().mkpath(args.at(1));
        kalvendo::AddressStore::createTable(args.at(1));
    } catch (const kalvendo::Exception& e) {
        std::fprintf(stderr, "kalvendo-mkdata: %s\n", e.what());
        return 1;
    }
    return 0;
}
