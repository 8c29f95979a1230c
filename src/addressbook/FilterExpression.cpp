#include "addressbook/FilterExpression.h"

#include "addressbook/DatabaseError.h"

namespace kalvendo {

namespace {

[[noreturn]] void invalid(const QString& text, const QString& de, const QString& en) {
    throw EDatabaseError(
        QStringLiteral("Ungültiger Filterausdruck \"%1\": %2 / invalid filter expression: %3")
            .arg(text, de, en));
}

} // namespace

FilterExpression FilterExpression::parse(const QString& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && text.at(i).isSpace())
            ++i;
    };

    skipBlanks();
    if (i == n)
        return {};

    const qsizetype nameStart = i;
    while (i < n && !text.at(i).isSpace() && text.at(i) != u'=' && text.at(i) != u'[' &&
           text.at(i) != u']')
        ++i;
    const QString name = text.mid(nameStart, i - nameStart);
    if (name.isEmpty())
        invalid(text, QStringLiteral("Feldname fehlt"), QStringLiteral("field name missing"));
    const int field = fieldPosition(name);
    if (field < 0)
        invalid(text, QStringLiteral("unbekanntes Feld %1").arg(name),
                QStringLiteral("unknown field %1").arg(name));

    skipBlanks();
    if (i == n || text.at(i) != u'=')
        invalid(text, QStringLiteral("\"=\" erwartet"), QStringLiteral("\"=\" expected"));
    ++i;
    skipBlanks();
    if (i == n || text.at(i) != u'[')
        invalid(text, QStringLiteral("\"[\" erwartet"), QStringLiteral("\"[\" expected"));
    ++i;

    const qsizetype valueStart = i;
    while (i < n && text.at(i) != u']') {
        if (text.at(i) == u'[')
            invalid(text, QStringLiteral("\"[\" im Wert"),
                    QStringLiteral("\"[\" inside the value"));
        ++i;
    }
    if (i == n)
        invalid(text, QStringLiteral("\"]\" fehlt"), QStringLiteral("\"]\" missing"));
    FilterExpression f;
    f.m_field = field;
    f.m_value = text.mid(valueStart, i - valueStart);
    ++i;

    skipBlanks();
    if (i != n)
        invalid(text, QStringLiteral("unerwarteter Text nach \"]\""),
                QStringLiteral("unexpected text after \"]\""));
    return f;
}

} // namespace kalvendo
