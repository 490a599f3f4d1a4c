#pragma once
// The severity a log line shows: what the view colours it by. Notice and info lines, and lines
// without a level, are plain.
//
// LevelOfText finds the first level word of a line, whole word and without regard to case
// (EMERG, ALERT, FATAL, CRIT, CRITICAL, SEVERE, ERROR, ERR; WARN, WARNING; NOTICE, INFO; DEBUG,
// TRACE, VERBOSE), or a one-letter form as common loggers print it: "[E]" in brackets or "E/" at
// the start of a word (F, E, W, N, I, D, V, T). Only the first kLevelScanUnits units are looked
// at: a level stands near the start of a line. Pure functions; any thread.
#include <QByteArrayView>
#include <QStringView>
#include <QtGlobal>

enum class LineLevel : quint8 { Plain, Error, Warning, Debug };

inline constexpr qsizetype kLevelScanUnits = 1024;

LineLevel LevelOfText(QStringView line);

// A syslog priority (0 emerg ... 7 debug) as a level; anything else is plain.
LineLevel LevelOfPriority(int priority);

// A key of a line's text that survives the view's shaping of blanks (kill space folds runs of
// them, tabs may be expanded): the hash of its UTF-8 bytes without blanks. Both forms of the same
// text give the same key.
quint64 LineTextKey(QByteArrayView utf8);
quint64 LineTextKey(QStringView text);
