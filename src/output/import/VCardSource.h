#pragma once

#include "output/import/RecordSource.h"
#include "output/vcard/VCardReader.h"

namespace kalvendo {

// The contacts of a .vcf file as records to import.
class VCardSource final : public RecordSource {
public:
    // Throws EInOutError when the file cannot be opened.
    explicit VCardSource(const QString& path) : m_reader(path) {}
    std::optional<Record> next() override { return m_reader.next(); }
    qint64 position() const override { return m_reader.position(); }
    qint64 size() const override { return m_reader.size(); }
    // Cards that held nothing to import.
    int skippedCount() const { return m_reader.skippedCount(); }

private:
    VCardReader m_reader;
};

} // namespace kalvendo
