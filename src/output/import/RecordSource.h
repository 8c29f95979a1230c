#pragma once

#include "addressbook/Fields.h"

#include <QtGlobal>

#include <optional>

namespace kalvendo {

// Records read from an import file one at a time, so that an import never
// holds the whole file. Readers of every import format offer this.
class RecordSource {
public:
    virtual ~RecordSource() = default;
    // The next record (values as read, not yet cut to the field widths);
    // nullopt at the end. Throws EInOutError when the file cannot be read.
    virtual std::optional<Record> next() = 0;
    // How far reading has got and how far it goes, in one unit (bytes of the
    // file), for a progress bar.
    virtual qint64 position() const = 0;
    virtual qint64 size() const = 0;
};

} // namespace kalvendo
