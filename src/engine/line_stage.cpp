#include "engine/line_stage.h"

#include <algorithm>
#include <utility>

#include "engine/address_annotation.h"
#include "engine/byte_text.h"
#include "engine/pass_failure.h"
#include "engine/regex.h"

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

bool EmptyOrSpaces(QStringView line) {
    return std::all_of(line.begin(), line.end(), [](QChar c) { return c == QLatin1Char(' '); });
}

// A pattern that only stands for itself and can be searched as its UTF-8 bytes in the raw window:
// ASCII without metacharacters, or characters from U+0100 on, which only a valid UTF-8 sequence
// decodes to. U+0080 to U+00FF are left out: they also come from single bytes (the byte rule).
bool IsPlainLiteral(const QString& pattern) {
    static const QString kMeta = QStringLiteral("\\^$.[]|()?*+{}");
    return pattern.isValidUtf16() && std::all_of(pattern.begin(), pattern.end(), [](QChar c) {
               const char16_t u = c.unicode();
               return (u >= 0x20 && u < 0x7F && !kMeta.contains(c)) || u >= 0x100;
           });
}

// Leading and trailing blanks and control characters trimmed away leave nothing.
bool BlankOrControls(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0x20; });
}

} // namespace

LineStage::LineStage(LineStageSettings settings, PatternMatcher& filter, PatternMatcher& alert,
                     AddressResolver* resolver)
    : s_(std::move(settings)), filter_(filter), alert_(alert), resolver_(resolver) {
    filterActive_ = s_.filterOn && !BlankOrControls(s_.filterPattern);
    alertActive_ = s_.alertOn && !s_.alertPattern.isEmpty();
    if (filterActive_) {
        filter_.SetPattern(s_.filterPattern);
        if (!s_.reverseDns && !s_.wide && IsPlainLiteral(s_.filterPattern) &&
            !(s_.killSpace && s_.filterPattern.contains(QLatin1Char(' '))))
            rawLiteral_ = s_.filterPattern.toUtf8();
    }
    if (alertActive_)
        alert_.SetPattern(s_.alertPattern);
    heldRing_.resize(static_cast<size_t>(std::max(0, s_.beforeCount)));
}

void LineStage::EndLine(QString& out, qsizetype lineStart, qint64 index) {
    if (s_.cancel && s_.cancel->load(std::memory_order_relaxed))
        throw PassCancelled();
    lastPassed_ = false;
    ++linesRead_;
    const bool cut = std::exchange(cutAtStart_, false);
    if (s_.killLine && EmptyOrSpaces(QStringView(out).mid(lineStart))) {
        out.truncate(lineStart);
        return;
    }
    if (s_.reverseDns)
        Annotate(out, lineStart, cut);
    const bool failed = filterActive_ && Filtered(QStringView(out).mid(lineStart));
    if (failed) {
        ++linesFiltered_;
        if (afterCountdown_ == 0) {
            Hold(QStringView(out).mid(lineStart));
            out.truncate(lineStart);
            return;
        }
    }
    if (heldCount_ > 0) {
        const qsizetype length = out.size() - lineStart;
        EmitHeld(out, lineStart);
        lineStart = out.size() - length;
    }
    const qsizetype length = out.size() - lineStart;
    out.append(kLineEnd);
    ++outputLines_;
    lastPassed_ = !failed;
    if (s_.filterOn) {
        if (!failed)
            afterCountdown_ = s_.afterCount;
        else if (afterCountdown_ > 0)
            --afterCountdown_;
    }
    lastKeptLineEnd_ = s_.wide ? index * 2 : index;
    if (alertActive_)
        TestAlert(out, lineStart, length);
}

MatchResult LineStage::Decide(PatternMatcher& matcher, QStringView line) {
    const MatchResult result = matcher.Search(line);
    if (result != MatchResult::TooCostly)
        return result;
    ++costlyLines_;
    return MatchResult::NotFound;
}

bool LineStage::Filtered(QStringView line) {
    const MatchResult result = Decide(filter_, line);
    if (result == MatchResult::Error)
        return false; // an invalid pattern lets every line pass
    return (result == MatchResult::Found) == s_.filterInverted;
}

void LineStage::Hold(QStringView line) {
    if (!heldRing_.empty()) {
        HeldLine& slot = heldRing_[static_cast<size_t>(heldCount_ % static_cast<qint64>(heldRing_.size()))];
        slot.text.resize(0);
        slot.text.append(line);
        slot.raw = nullptr;
    }
    ++heldCount_;
}

void LineStage::SkipFailingLine(const char* raw, qsizetype length) {
    ++linesRead_;
    ++linesFiltered_;
    if (!heldRing_.empty()) {
        HeldLine& slot = heldRing_[static_cast<size_t>(heldCount_ % static_cast<qint64>(heldRing_.size()))];
        slot.raw = raw;
        slot.rawLength = length;
    }
    ++heldCount_;
}

LineStage::HeldLines LineStage::Held() const {
    HeldLines held;
    held.count = heldCount_;
    const qint64 ring = static_cast<qint64>(heldRing_.size());
    for (qint64 i = heldCount_ - std::min(heldCount_, ring); i < heldCount_; ++i) {
        const HeldLine& line = heldRing_[static_cast<size_t>(i % ring)];
        QString text;
        if (!line.raw)
            text = line.text;
        else if (s_.killSpace)
            AppendFoldedBytes(text, line.raw, line.rawLength, false);
        else
            AppendDecodedBytes(text, line.raw, line.rawLength);
        held.last.push_back(std::move(text));
    }
    return held;
}

void LineStage::ResumeHeld(const HeldLines& held) {
    afterCountdown_ = 0;
    heldCount_ = held.count;
    const qint64 ring = static_cast<qint64>(heldRing_.size());
    const qint64 first = heldCount_ - static_cast<qint64>(held.last.size());
    for (size_t k = 0; k < held.last.size() && ring > 0; ++k) {
        HeldLine& slot = heldRing_[static_cast<size_t>((first + qint64(k)) % ring)];
        slot.text = held.last[k];
        slot.raw = nullptr;
    }
}

void LineStage::EmitHeld(QString& out, qsizetype lineStart) {
    scratch_ = QStringView(out).mid(lineStart).toString();
    out.truncate(lineStart);
    const qint64 before = static_cast<qint64>(heldRing_.size());
    const qint64 removed = heldCount_ - before;
    if (removed > 0 && s_.showRemLineInfo) {
        out.append(QLatin1String("... (") + QString::number(removed) + QLatin1String(")") + kLineEnd);
        ++outputLines_;
    }
    const qint64 shown = std::min(heldCount_, before);
    for (qint64 i = heldCount_ - shown; i < heldCount_; ++i) {
        const HeldLine& held = heldRing_[static_cast<size_t>(i % before)];
        if (held.raw)
            s_.killSpace ? AppendFoldedBytes(out, held.raw, held.rawLength, false)
                         : AppendDecodedBytes(out, held.raw, held.rawLength);
        else
            out.append(held.text);
        out.append(kLineEnd);
        ++outputLines_;
    }
    out.append(scratch_);
    heldCount_ = 0;
}

void LineStage::Annotate(QString& out, qsizetype lineStart, bool cut) {
    if (out.size() - lineStart < 7)
        return;
    scratch_ = QStringView(out).mid(lineStart).toString();
    const qsizetype before = scratch_.size();
    AnnotateAddresses(scratch_, resolver_, cut);
    if (scratch_.size() == before && QStringView(out).mid(lineStart) == scratch_)
        return;
    out.truncate(lineStart);
    out.append(scratch_);
}

void LineStage::TestAlert(const QString& out, qsizetype lineStart, qsizetype length) {
    const MatchResult result = Decide(alert_, QStringView(out).mid(lineStart, length));
    if (result == MatchResult::Error)
        return;
    if ((result == MatchResult::Found) != s_.alertInverted) {
        alertStart_ = lineStart;
        alertLength_ = length;
    }
}

QString LineStage::AlertLine(const QString& out) const {
    if (alertLength_ < 0)
        return {};
    return out.mid(alertStart_, alertLength_);
}
