#include "engine/address_annotation.h"

#include <array>
#include <vector>

namespace {

bool IsDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

// Value of a part of at most a few digits, capped so that a long fourth part cannot overflow.
int PartValue(QStringView part) {
    int value = 0;
    for (QChar c : part) {
        value = value * 10 + (c.unicode() - '0');
        if (value > 999)
            return 1000;
    }
    return value;
}

constexpr qsizetype kMaxTokenLength = 15;

} // namespace

bool IsIPv4Address(QStringView token) {
    const qsizetype n = token.size();
    std::array<qsizetype, 3> dot{};
    int dots = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (token[i] == QLatin1Char('.')) {
            if (dots == 3)
                return false;
            dot[static_cast<size_t>(dots++)] = i + 1; // 1-based
        } else if (!IsDigit(token[i])) {
            return false;
        }
    }
    if (dots != 3)
        return false;
    const qsizetype d1 = dot[0], d2 = dot[1], d3 = dot[2];
    if (d1 < 2 || d2 < d1 + 2 || d3 < d2 + 2 || d3 >= n)
        return false;
    if (d1 > 4 || d2 > d1 + 4 || d3 > d2 + 4)
        return false;
    const std::array<QStringView, 4> parts{token.mid(0, d1 - 1), token.mid(d1, d2 - d1 - 1),
                                           token.mid(d2, d3 - d2 - 1), token.mid(d3)};
    if (PartValue(parts[0]) > 255 || parts[0][0] == QLatin1Char('0'))
        return false;
    for (size_t i = 1; i < parts.size(); ++i) {
        const int value = PartValue(parts[i]);
        if (value > 255 || (value != 0 && parts[i][0] == QLatin1Char('0')))
            return false;
    }
    return true;
}

void AnnotateAddresses(QString& line, AddressResolver* resolver, bool cutAtStart) {
    if (line.size() < 7)
        return;
    struct Replacement {
        qsizetype start;
        qsizetype length;
        QString text;
    };
    // Found from the end to the start, as the scan goes; a replacement never changes what an
    // earlier position decides (a token reaching into one holds its "@", so it is no address).
    std::vector<Replacement> found;
    qsizetype grown = 0;
    for (qsizetype s = line.size() - 7; s >= 0; --s) {
        if (s == 0 ? cutAtStart : line[s - 1] != QLatin1Char(' ') && line[s - 1] != QLatin1Char('@'))
            continue;
        if (!IsDigit(line[s]) || !(IsDigit(line[s + 1]) || line[s + 1] == QLatin1Char('.')))
            continue;
        qsizetype end = s;
        while (end < line.size() && line[end] != QLatin1Char(' ') && end - s <= kMaxTokenLength)
            ++end;
        if (end - s > kMaxTokenLength)
            continue;
        const QStringView token = QStringView(line).mid(s, end - s);
        if (token.startsWith(QLatin1String("255")) || !IsIPv4Address(token))
            continue;
        const QString address = token.toString();
        const QString name = resolver ? resolver->GetNameByIP(address) : address;
        QString text = name.isEmpty() ? QLatin1Char('?') + address + QLatin1Char('?')
                                      : QLatin1Char('[') + name + QLatin1Char(']');
        grown += text.size() - token.size();
        found.push_back({s, token.size(), std::move(text)});
    }
    if (found.empty())
        return;
    QString annotated;
    annotated.reserve(line.size() + grown);
    qsizetype at = 0;
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        annotated.append(QStringView(line).mid(at, it->start - at));
        annotated.append(it->text);
        at = it->start + it->length;
    }
    annotated.append(QStringView(line).mid(at));
    line = std::move(annotated);
}
