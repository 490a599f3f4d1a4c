#include "settings/highlight_rules.h"

#include <algorithm>
#include <array>

#include <QRegularExpression>

#include "platform/ini_file.h"
#include "settings/ini_update.h"
#include "settings/store_layout.h"
#include "settings/uParam.h"
#include "util/text_codecs.h"

namespace {

// Light backgrounds that dark text reads on (red in the low byte): yellow, green, blue, pink,
// orange, violet.
constexpr std::array<quint32, 6> kPalette{0x0080FFFF, 0x0090EE90, 0x00FFD8A0,
                                          0x00D0B0FF, 0x0080C0FF, 0x00FFB0E0};

const QString kPattern = QStringLiteral("Pattern");
const QString kColor = QStringLiteral("Color");
const QString kWholeLine = QStringLiteral("WholeLine");

} // namespace

std::vector<HighlightRule> LoadHighlightRules() {
    IniFile ini(TTailParam::GetIniFileName());
    std::vector<HighlightRule> rules;
    if (!ini.FileExists() || !ini.Load())
        return rules;
    const QString section = HighlightKeyPath();
    for (int i = 0;; ++i) {
        const QString n = QString::number(i);
        const QString pattern = ini.ReadString(section, kPattern + n);
        if (pattern.isEmpty())
            break;
        rules.push_back({pattern, quint32(DecodeInteger(ini.ReadString(section, kColor + n))) & 0xFFFFFFu,
                         DecodeFlag(ini.ReadString(section, kWholeLine + n))});
    }
    return rules;
}

bool SaveHighlightRules(const std::vector<HighlightRule>& rules, DialogService* dialogs) {
    return UpdateIniFile(
        [&](IniFile& ini) {
            const QString section = HighlightKeyPath();
            ini.EraseSection(section);
            for (size_t i = 0; i < rules.size(); ++i) {
                const QString n = QString::number(i);
                ini.WriteString(section, kPattern + n, rules[i].pattern);
                // Plain colours only: a desktop colour's index byte has no meaning here.
                ini.WriteString(section, kColor + n, QString::number(qint32(rules[i].color & 0xFFFFFFu)));
                ini.WriteString(section, kWholeLine + n, EncodeFlag(rules[i].wholeLine));
            }
        },
        dialogs);
}

HighlightRule LiteralHighlightRule(const QString& text, const std::vector<HighlightRule>& rules) {
    quint32 color = kPalette[0];
    if (!rules.empty()) {
        const auto last = std::find(kPalette.begin(), kPalette.end(), rules.back().color);
        color = last == kPalette.end() ? kPalette[rules.size() % kPalette.size()]
                                       : kPalette[size_t(last - kPalette.begin() + 1) % kPalette.size()];
    }
    return {QRegularExpression::escape(text), color, false};
}
