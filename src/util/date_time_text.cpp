#include "util/date_time_text.h"

namespace {

bool IsLeftSeparator(QChar c) {
    return c.isSpace() || c == QLatin1Char('(') || c == QLatin1Char('[') || c == QLatin1Char(',');
}

bool IsRightSeparator(QChar c) {
    return c.isSpace() || c == QLatin1Char(')') || c == QLatin1Char(']');
}

// Removes the run of 't' starting at 'start' and the separators around it; a zone between two
// fields leaves one blank so the fields stay apart.
QString RemoveZoneField(const QString& format, qsizetype start) {
    qsizetype end = start;
    while (end < format.size() && format[end] == QLatin1Char('t'))
        ++end;
    qsizetype left = start;
    while (left > 0 && IsLeftSeparator(format[left - 1]))
        --left;
    while (end < format.size() && IsRightSeparator(format[end]))
        ++end;
    const QString before = format.left(left);
    const QString after = format.mid(end);
    if (!before.isEmpty() && !after.isEmpty())
        return before + QLatin1Char(' ') + after;
    return before + after;
}

// The first 't' outside a quoted literal ('' inside or outside quotes toggles twice).
qsizetype FindZoneField(const QString& format) {
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == QLatin1Char('\''))
            quoted = !quoted;
        else if (!quoted && format[i] == QLatin1Char('t'))
            return i;
    }
    return -1;
}

} // namespace

QString WithoutZoneField(const QString& timeFormat) {
    QString format = timeFormat;
    for (qsizetype zone = FindZoneField(format); zone >= 0; zone = FindZoneField(format))
        format = RemoveZoneField(format, zone);
    return format.trimmed();
}

QString LongTimeFormat(const QLocale& locale) {
    return WithoutZoneField(locale.timeFormat(QLocale::LongFormat));
}

QString LongTimeText(const QDateTime& dateTime, const QLocale& locale) {
    // As a date-time, so the clock time is the one of the date-time's own zone.
    return locale.toString(dateTime, LongTimeFormat(locale));
}

QString ShortDateLongTimeText(const QDateTime& dateTime, const QLocale& locale) {
    return locale.toString(dateTime.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           LongTimeText(dateTime, locale);
}

QString LongDateLongTimeText(const QDateTime& dateTime, const QLocale& locale) {
    return locale.toString(dateTime.date(), QLocale::LongFormat) + QLatin1Char(' ') +
           LongTimeText(dateTime, locale);
}
