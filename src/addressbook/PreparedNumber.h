#pragma once

#include <QString>

#include <functional>

namespace kalvendo {

class AddressTable;

// The prepared form of a telephone number that incoming calls are matched
// against: the text with every '/', '-' and blank removed, nothing else changed.
QString prepareNumber(const QString& number);

// Rewrites both prepared numbers of every record the table shows, in one
// transaction; progress is told how many records are done.
void prepareAllNumbers(AddressTable& table,
                       const std::function<void(qsizetype done)>& progress = {});

} // namespace kalvendo
