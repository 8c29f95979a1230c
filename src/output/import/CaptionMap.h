#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace kalvendo {

// Which field each column of an import file goes to.
struct ColumnMapping {
    // The first line names the columns and is not imported.
    bool captionLine = false;
    // Per column: the field position, or -1 when the column is left out.
    // Columns beyond the list are left out.
    std::vector<int> fields;
};

// Column i to field i for all seventeen fields: how a file without captions
// is read, our own export's layout among them.
ColumnMapping positionalMapping();

struct CaptionMatch {
    int field = -1;
    // Lower is better when several columns name the same field (a private
    // address before a business one).
    int rank = 0;
};

// The field a column caption names: our grid headers in the five languages,
// the field names, the user's label of the user-defined field, and the usual
// captions of mail programs' contact files ("Last Name", "E-mail Address",
// "Mobile Phone", "Straße privat", ...). Case, accents, blanks and punctuation
// do not matter.
CaptionMatch matchCaption(const QString& caption, const QString& userLabel = {});

// The mapping by caption when the line names at least two different fields,
// each field taken from its best-ranked column; nullopt for a line of data.
std::optional<ColumnMapping> captionMapping(const QStringList& line, const QString& userLabel = {});

} // namespace kalvendo
