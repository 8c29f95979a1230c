#pragma once

// Records for tests: built field by field, written straight to the table files,
// read back by a second cursor.

#include "addressbook/AddressStore.h"
#include "addressbook/Fields.h"
#include "addressbook/FilterExpression.h"
#include "addressbook/OrderList.h"
#include "common/CommandGuard.h"

#include <QStringList>

#include <initializer_list>
#include <utility>
#include <vector>

namespace kalvendo::test {

// A record with the given fields set, the rest empty.
inline Record record(std::initializer_list<std::pair<int, const char*>> fields) {
    Record r;
    for (const auto& [pos, value] : fields)
        r[size_t(pos)] = QString::fromUtf8(value);
    return r;
}

inline Record rec(const char* name, const char* first = "", const char* town = "",
                  const char* group = "", const char* birthday = "") {
    return record({{fName, name},
                   {fVorname, first},
                   {fWohnort, town},
                   {fGruppe, group},
                   {fGeburtstag, birthday}});
}

// Adds records to the table in dataFolder, in one transaction (before the
// program opens it).
inline void insertRecords(const QString& dataFolder, const std::vector<Record>& records) {
    AddressStore store;
    store.open(dataFolder);
    store.insertRecords(records);
}

// The stored records' values of one field in name order, read by a second cursor.
inline QStringList storedValuesIn(const QString& dataFolder, int field) {
    AddressStore store;
    store.open(dataFolder);
    OrderList order;
    store.loadOrder(0, FilterExpression(), order);
    QStringList out;
    for (int i = 0; i < order.size(); ++i)
        out << store.readRecord(order.idAt(i)).value()[size_t(field)];
    return out;
}

// Errors that reached the application-wide handler: class names and messages.
struct CaughtErrors {
    CaughtErrors() {
        setApplicationExceptionHandler([this](QObject*, const std::exception& e) {
            classes << exceptionClassName(e);
            messages << exceptionMessage(e);
        });
    }
    ~CaughtErrors() { setApplicationExceptionHandler({}); }
    CaughtErrors(const CaughtErrors&) = delete;
    CaughtErrors& operator=(const CaughtErrors&) = delete;
    QStringList classes;
    QStringList messages;
};

} // namespace kalvendo::test
