#pragma once

#include "addressbook/Fields.h"

#include <QString>

namespace kalvendo {

// A record filter of the form  Field = [literal]  (in use: Gruppe = [name]).
// Blanks may surround the parts. The literal is everything between the
// brackets, taken as it stands; it cannot contain "[" or "]". A record passes
// when its whole stored value equals the literal exactly (case-sensitive, no
// trimming). An empty text is the empty filter, which every record passes.
class FilterExpression {
public:
    FilterExpression() = default;

    // Throws EDatabaseError naming the fault when the text is not of that form.
    static FilterExpression parse(const QString& text);

    bool isEmpty() const { return m_field < 0; }
    int field() const { return m_field; }
    const QString& value() const { return m_value; }
    bool matches(const Record& r) const { return isEmpty() || r[m_field] == m_value; }

private:
    int m_field = -1;
    QString m_value;
};

} // namespace kalvendo
