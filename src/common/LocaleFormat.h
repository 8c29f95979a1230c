#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace kalvendo {

// The system's short date format with day, month and year widened to two, two
// and four digits (German: dd.MM.yyyy).
QString shortDateFormat(const QLocale& locale = QLocale::system());
QString formatShortDate(const QDate& date, const QLocale& locale = QLocale::system());

// The system's long time format without the time zone (German: HH:mm:ss).
QString longTimeFormat(const QLocale& locale = QLocale::system());
QString formatLongTime(const QTime& time, const QLocale& locale = QLocale::system());

} // namespace kalvendo
