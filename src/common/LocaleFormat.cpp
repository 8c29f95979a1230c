#include "common/LocaleFormat.h"

#include <QLocale>

namespace kalvendo {

namespace {

// Rewrites each run of one pattern letter; quoted text stays as it is.
template <typename Fn> QString rewriteRuns(const QString& format, Fn rewrite) {
    QString out;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            const qsizetype end = format.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? format.size() : end + 1;
            out += format.mid(i, stop - i);
            i = stop;
            continue;
        }
        qsizetype j = i;
        while (j < format.size() && format.at(j) == c)
            ++j;
        out += rewrite(c, int(j - i));
        i = j;
    }
    return out;
}

} // namespace

QString shortDateFormat(const QLocale& locale) {
    return rewriteRuns(locale.dateFormat(QLocale::ShortFormat), [](QChar c, int n) -> QString {
        if (c == u'd' && n <= 2)
            return QStringLiteral("dd");
        if (c == u'M' && n <= 2)
            return QStringLiteral("MM");
        if (c == u'y')
            return QStringLiteral("yyyy");
        return QString(n, c);
    });
}

QString formatShortDate(const QDate& date, const QLocale& locale) {
    return locale.toString(date, shortDateFormat(locale));
}

QString longTimeFormat(const QLocale& locale) {
    const QString noZone = rewriteRuns(locale.timeFormat(QLocale::LongFormat), [](QChar c, int n) {
        return c == u't' ? QString() : QString(n, c);
    });
    return noZone.trimmed();
}

QString formatLongTime(const QTime& time, const QLocale& locale) {
    return locale.toString(time, longTimeFormat(locale));
}

} // namespace kalvendo
