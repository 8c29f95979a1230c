#include "callerid/NumberText.h"

namespace kalvendo {

QString sanitizeNumberText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.category()) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Other_NotAssigned:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
            continue;
        default:
            out.append(c);
        }
    }
    return out.trimmed();
}

} // namespace kalvendo
