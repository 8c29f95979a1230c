#include "output/import/CsvImport.h"

namespace kalvendo {

CsvPreview previewCsv(const QString& path, const QString& userLabel, int maxRows) {
    CsvReader reader(path);
    CsvPreview preview;
    preview.encoding = reader.encoding();
    preview.layout.separator = reader.separator();
    while (preview.rows.size() < maxRows) {
        auto values = reader.next();
        if (!values)
            break;
        preview.rows.append(std::move(*values));
    }
    if (!preview.rows.isEmpty()) {
        if (auto byCaption = captionMapping(preview.rows.first(), userLabel))
            preview.layout.mapping = std::move(*byCaption);
    }
    return preview;
}

Record recordFromValues(const QStringList& values, const std::vector<int>& fields) {
    Record r;
    const qsizetype n = qMin<qsizetype>(values.size(), static_cast<qsizetype>(fields.size()));
    for (qsizetype c = 0; c < n; ++c) {
        const int f = fields[static_cast<size_t>(c)];
        if (f >= 0 && f < kFieldCount && r[static_cast<size_t>(f)].isEmpty())
            r[static_cast<size_t>(f)] = values.at(c);
    }
    return r;
}

CsvRecordSource::CsvRecordSource(const QString& path, const CsvLayout& layout)
    : m_reader(path, layout.separator), m_layout(layout) {}

std::optional<Record> CsvRecordSource::next() {
    auto values = m_reader.next();
    if (values && m_first && m_layout.mapping.captionLine)
        values = m_reader.next();
    m_first = false;
    if (!values)
        return std::nullopt;
    return recordFromValues(*values, m_layout.mapping.fields);
}

} // namespace kalvendo
