#include "source/journal_levels.h"

void JournalLevels::Add(QByteArrayView lines, QByteArrayView priority) {
    const LineLevel level = priority.size() == 1 && priority[0] >= '0' && priority[0] <= '9'
                                ? LevelOfPriority(priority[0] - '0')
                                : LineLevel::Plain;
    if (level == LineLevel::Plain || lines.isEmpty())
        return;
    std::lock_guard guard(lock_);
    qsizetype start = 0;
    while (start < lines.size()) {
        qsizetype end = lines.indexOf('\n', start);
        if (end < 0)
            end = lines.size();
        const quint64 key = LineTextKey(lines.sliced(start, end - start));
        Kept& kept = levels_[key];
        kept.level = level;
        ++kept.lines;
        order_.push_back(key);
        start = end + 1;
    }
    while (qsizetype(order_.size()) > kMaxLines) {
        const auto oldest = levels_.find(order_.front());
        order_.pop_front();
        if (--oldest->lines == 0)
            levels_.erase(oldest);
    }
}

LineLevel JournalLevels::Of(QStringView line) const {
    const quint64 key = LineTextKey(line);
    std::lock_guard guard(lock_);
    const auto kept = levels_.constFind(key);
    return kept == levels_.constEnd() ? LineLevel::Plain : kept->level;
}
