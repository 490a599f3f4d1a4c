#pragma once
// Readable failure messages for the view's values; long texts are cut (views hold millions of
// characters).
#include <ostream>

#include <QString>

#include "engine/view_snapshot.h"

inline void PrintTo(const QString& text, std::ostream* os) {
    constexpr qsizetype kShown = 200;
    *os << '"' << text.left(kShown).toStdString() << '"';
    if (text.size() > kShown)
        *os << "... (" << text.size() << " characters)";
}
inline void PrintTo(const ViewPosition& at, std::ostream* os) {
    *os << '(' << at.line << ", " << at.column << ')';
}
inline void PrintTo(const ViewRange& range, std::ostream* os) {
    PrintTo(range.from, os);
    *os << "..";
    PrintTo(range.to, os);
}
