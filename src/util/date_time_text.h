#pragma once
// Date and time texts in the locale's formats, without the time zone:
//   "ddddd tt"  short date + " " + long time   (messages in the view)
//   "dddddd tt" long date + " " + long time    (e-mails, printouts)
//   "tt"        long time                      (alerts window)

#include <QDateTime>
#include <QLocale>
#include <QString>

// A time format with its zone field ('t' runs outside quoted literals) removed, together with the
// blanks, brackets or comma that only set it apart: "h:mm:ss AP t" -> "h:mm:ss AP",
// "HH:mm:ss (t)" -> "HH:mm:ss", "t HH:mm:ss" -> "HH:mm:ss".
QString WithoutZoneField(const QString& timeFormat);

// The locale's long time format without the zone field.
QString LongTimeFormat(const QLocale& locale);

QString LongTimeText(const QDateTime& dateTime, const QLocale& locale = QLocale::system());
QString ShortDateLongTimeText(const QDateTime& dateTime, const QLocale& locale = QLocale::system());
QString LongDateLongTimeText(const QDateTime& dateTime, const QLocale& locale = QLocale::system());
