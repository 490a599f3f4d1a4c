#pragma once
// Highlight rules: the user's own patterns (a request id, a host, a customer) that the view marks
// in a colour of their own, on the match or on the whole line. Ordered: a rule above another wins
// where both mark.
//
// Stored in the INI file, section HighlightKeyPath(), as "Pattern<i>", "Color<i>" (a colour as a
// signed decimal text, red in the low byte) and "WholeLine<i>" ("O" or "N"), from 0 on until a
// pattern is missing or empty. Saving rewrites that section only: the file's other lines keep
// their bytes. Window thread only.
#include <vector>

#include <QString>
#include <QtGlobal>

class DialogService;

struct HighlightRule {
    QString pattern;   // a regular expression, compiled as the filter is
    quint32 color = 0; // red in the low byte
    bool wholeLine = false;
    friend bool operator==(const HighlightRule&, const HighlightRule&) = default;
};

// Empty when there is no INI file or it cannot be read.
std::vector<HighlightRule> LoadHighlightRules();
// Shows "Unable to save Kovra parameters in " + path + ". Err=" + text on failure (false then).
bool SaveHighlightRules(const std::vector<HighlightRule>& rules, DialogService* dialogs);

// A rule that marks text literally (its characters escaped) in the colour after the last rule's
// in a small palette of light colours.
HighlightRule LiteralHighlightRule(const QString& text, const std::vector<HighlightRule>& rules);
