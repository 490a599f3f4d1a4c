#include "util/line_level.h"

#include <algorithm>
#include <array>

namespace {

struct LevelWord {
    QStringView word;
    LineLevel level;
};

constexpr std::array<LevelWord, 15> kWords{{
    {u"EMERG", LineLevel::Error},
    {u"ALERT", LineLevel::Error},
    {u"FATAL", LineLevel::Error},
    {u"CRIT", LineLevel::Error},
    {u"CRITICAL", LineLevel::Error},
    {u"SEVERE", LineLevel::Error},
    {u"ERROR", LineLevel::Error},
    {u"ERR", LineLevel::Error},
    {u"WARN", LineLevel::Warning},
    {u"WARNING", LineLevel::Warning},
    {u"NOTICE", LineLevel::Plain},
    {u"INFO", LineLevel::Plain},
    {u"DEBUG", LineLevel::Debug},
    {u"TRACE", LineLevel::Debug},
    {u"VERBOSE", LineLevel::Debug},
}};

bool IsWordUnit(QChar c) {
    return c.isLetterOrNumber() || c == u'_';
}

// The level of a one-letter form; false for other letters.
bool LetterLevel(QChar c, LineLevel* level) {
    switch (c.unicode()) {
    case u'F':
    case u'E':
        *level = LineLevel::Error;
        return true;
    case u'W':
        *level = LineLevel::Warning;
        return true;
    case u'N':
    case u'I':
        *level = LineLevel::Plain;
        return true;
    case u'D':
    case u'V':
    case u'T':
        *level = LineLevel::Debug;
        return true;
    default:
        return false;
    }
}

bool WordLevel(QStringView word, LineLevel* level) {
    if (word.size() < 3 || word.size() > 8)
        return false;
    for (const LevelWord& w : kWords) {
        if (word.compare(w.word, Qt::CaseInsensitive) == 0) {
            *level = w.level;
            return true;
        }
    }
    return false;
}

constexpr qsizetype kTagUnits = 64;

// "[E]" with the bracket at i, or "E/" with the letter at i, where a word may start.
bool OneLetterLevel(QStringView text, qsizetype i, LineLevel* level) {
    if (text[i] == u'[' && i + 2 < text.size() && text[i + 2] == u']')
        return LetterLevel(text[i + 1], level);
    // "E/Tag: " or "E/Tag( 812): " (Android's loggers); "I/O error" is no level.
    const bool wordStart = i == 0 || text[i - 1].isSpace();
    if (!wordStart || i + 2 >= text.size() || text[i + 1] != u'/')
        return false;
    qsizetype j = i + 2;
    while (j < text.size() && j - i < kTagUnits && !text[j].isSpace() && text[j] != u':' && text[j] != u'(')
        ++j;
    return j > i + 2 && j < text.size() && (text[j] == u':' || text[j] == u'(') &&
           LetterLevel(text[i], level);
}

constexpr quint64 kFnvOffset = 14695981039346656037ull;
constexpr quint64 kFnvPrime = 1099511628211ull;

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t';
}

} // namespace

LineLevel LevelOfText(QStringView line) {
    const QStringView text = line.first(std::min(line.size(), kLevelScanUnits));
    LineLevel level = LineLevel::Plain;
    qsizetype i = 0;
    while (i < text.size()) {
        if (!IsWordUnit(text[i])) {
            if (OneLetterLevel(text, i, &level))
                return level;
            ++i;
            continue;
        }
        const qsizetype start = i;
        while (i < text.size() && IsWordUnit(text[i]))
            ++i;
        if (WordLevel(text.sliced(start, i - start), &level))
            return level;
        if (i - start == 1 && OneLetterLevel(text, start, &level))
            return level;
    }
    return LineLevel::Plain;
}

LineLevel LevelOfPriority(int priority) {
    if (priority >= 0 && priority <= 3)
        return LineLevel::Error;
    if (priority == 4)
        return LineLevel::Warning;
    if (priority == 7)
        return LineLevel::Debug;
    return LineLevel::Plain;
}

quint64 LineTextKey(QByteArrayView utf8) {
    quint64 hash = kFnvOffset;
    for (const char c : utf8) {
        if (IsBlank(static_cast<unsigned char>(c)))
            continue;
        hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    }
    return hash;
}

quint64 LineTextKey(QStringView text) {
    return LineTextKey(QByteArrayView(text.toUtf8()));
}
