#include "util/size_text.h"

namespace {

// One row of the table: the value, divided by 1024 first when the row starts a new unit, is
// shown in this row while it is below the limit.
struct SizeRow {
    bool newUnit;
    double limit;
    int decimals;
    const char* unit;
};

constexpr SizeRow kRows[] = {
    {true, 10.0, 1, " K"},  {false, 900.0, 0, " K"}, {true, 900.0, 2, " M"},
    {true, 900.0, 2, " G"}, {true, 900.0, 3, " T"},
};

QString FormatMagnitude(quint64 magnitude, QChar unitLetter) {
    if (magnitude < 900)
        return QString::number(magnitude) + QLatin1Char(' ') + unitLetter;
    double value = static_cast<double>(magnitude);
    for (const SizeRow& row : kRows) {
        if (row.newUnit)
            value /= 1024.0;
        if (value < row.limit)
            return QString::number(value, 'f', row.decimals) + QLatin1String(row.unit) + unitLetter;
    }
    return QString();
}

} // namespace

QString SizeText(qint64 bytes, QChar unitLetter) {
    // The magnitude in unsigned 64 bits: negating the minimum qint64 would overflow.
    const quint64 magnitude = bytes < 0 ? 0 - static_cast<quint64>(bytes) : static_cast<quint64>(bytes);
    const QString text = FormatMagnitude(magnitude, unitLetter);
    if (bytes < 0 && !text.isEmpty())
        return QLatin1Char('-') + text;
    return text;
}
