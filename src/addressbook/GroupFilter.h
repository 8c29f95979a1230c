#pragma once

#include <QString>
#include <QStringList>

namespace kalvendo {

class AddressTable;

// The five captions that mean "all groups" (one per interface language),
// compared exactly: "alle gruppen" is a group of its own.
const QStringList& allGroupsCaptions();
bool isAllGroupsCaption(const QString& group);

// Shows only the records of one group, or every record for an all-groups
// caption. A name the filter cannot carry (a ']' in it) throws EDatabaseError
// and leaves the filter in effect as it was; the caller decides what to tell.
void setGroupFilter(AddressTable& table, const QString& group);

} // namespace kalvendo
