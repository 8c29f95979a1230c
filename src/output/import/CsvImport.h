#pragma once

#include "output/import/CaptionMap.h"
#include "output/import/CsvReader.h"
#include "output/import/RecordSource.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

namespace kalvendo {

// How a comma-separated file is read into records.
struct CsvLayout {
    QChar separator = u',';
    ColumnMapping mapping = positionalMapping();
};

// The first records of a file and how it is imported unless the user says
// otherwise: what a small dialog shows before the import starts.
struct CsvPreview {
    TextEncoding encoding = TextEncoding::Utf8;
    CsvLayout layout;
    // The first records as read, a caption line included.
    QList<QStringList> rows;
};

// Reads the first maxRows records; the layout maps by caption when the first
// line names fields (userLabel: the user's name for the user-defined field),
// else by position. Throws EInOutError.
CsvPreview previewCsv(const QString& path, const QString& userLabel = {}, int maxRows = 20);

// The record a line of values gives under a mapping: each mapped column's
// value in its field (the first non-empty one where two columns share a field).
Record recordFromValues(const QStringList& values, const std::vector<int>& fields);

// The records of a comma-separated file under a layout, a caption line left out.
class CsvRecordSource final : public RecordSource {
public:
    // Throws EInOutError.
    CsvRecordSource(const QString& path, const CsvLayout& layout);

    std::optional<Record> next() override;
    qint64 position() const override { return m_reader.position(); }
    qint64 size() const override { return m_reader.size(); }
    qint64 lineCount() const { return m_reader.lineCount(); }

private:
    CsvReader m_reader;
    CsvLayout m_layout;
    bool m_first = true;
};

} // namespace kalvendo
