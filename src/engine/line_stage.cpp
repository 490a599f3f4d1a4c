#include "engine/line_stage.h"

#include <algorithm>
#include <utility>

#include "engine/address_annotation.h"
#include "engine/byte_text.h"
#include "engine/pass_failure.h"
#include "engine/regex.h"

namespace {

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

template <typename Unit> bool AllBlank(const Unit* p, qsizetype n, bool tabsToo) {
    return std::all_of(p, p + n,
                       [tabsToo](Unit c) { return c == Unit(' ') || (tabsToo && c == Unit('\t')); });
}

} // namespace

LineStage::LineStage(LineStageSettings settings, PatternMatcher& filter, PatternMatcher& alert,
                     AddressResolver* resolver, StageOutput& output)
    : s_(std::move(settings)), filter_(filter), alert_(alert), resolver_(resolver), out_(output) {
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

// The text is made once per line, and only when a switch needs it.
const QString& LineStage::Text(const StageLine& line) {
    if (textReady_)
        return text_;
    text_.resize(0);
    if (s_.wide) {
        text_.append(static_cast<const QChar*>(line.units), line.count);
        if (s_.killSpace)
            FoldBlanks(text_, 0, false);
    } else if (s_.killSpace) {
        AppendFoldedBytes(text_, static_cast<const char*>(line.units), line.count, false);
    } else {
        AppendDecodedBytes(text_, static_cast<const char*>(line.units), line.count);
    }
    textReady_ = true;
    return text_;
}

// Empty or only spaces once shaped (kill space turns tabs into spaces).
bool LineStage::Blank(const StageLine& line) const {
    if (s_.wide)
        return AllBlank(static_cast<const char16_t*>(line.units), line.count, s_.killSpace);
    return AllBlank(static_cast<const char*>(line.units), line.count, s_.killSpace);
}

void LineStage::EndLine(const StageLine& line) {
    if (s_.cancel && s_.cancel->load(std::memory_order_relaxed))
        throw PassCancelled();
    lastPassed_ = false;
    textReady_ = false;
    ++linesRead_;
    const bool cut = std::exchange(cutAtStart_, false);
    if (s_.killLine && Blank(line))
        return;
    const bool stored = s_.reverseDns && Annotate(line, cut);
    const bool failed = filterActive_ && Filtered(line);
    if (failed) {
        ++linesFiltered_;
        if (afterCountdown_ == 0) {
            Hold(line, stored);
            return;
        }
    }
    if (heldCount_ > 0)
        EmitHeld();
    if (stored)
        out_.StoredLine(text_);
    else
        out_.FileLine(line.start, line.Bytes(s_.wide));
    ++outputLines_;
    lastPassed_ = !failed;
    if (s_.filterOn) {
        if (!failed)
            afterCountdown_ = s_.afterCount;
        else if (afterCountdown_ > 0)
            --afterCountdown_;
    }
    lastKeptLineEnd_ = line.end;
    if (alertActive_)
        TestAlert(line);
}

MatchResult LineStage::Decide(PatternMatcher& matcher, QStringView line) {
    const MatchResult result = matcher.Search(line);
    if (result != MatchResult::TooCostly)
        return result;
    ++costlyLines_;
    return MatchResult::NotFound;
}

bool LineStage::Filtered(const StageLine& line) {
    if (!rawLiteral_.isEmpty()) {
        const QByteArrayView bytes(static_cast<const char*>(line.units), line.count);
        return (bytes.indexOf(rawLiteral_) >= 0) == s_.filterInverted;
    }
    const MatchResult result = Decide(filter_, Text(line));
    if (result == MatchResult::Error)
        return false; // an invalid pattern lets every line pass
    return (result == MatchResult::Found) == s_.filterInverted;
}

LineStage::HeldLine& LineStage::NextSlot() {
    HeldLine& slot = heldRing_[ringPos_];
    if (++ringPos_ == heldRing_.size())
        ringPos_ = 0;
    return slot;
}

void LineStage::Hold(const StageLine& line, bool stored) {
    if (!heldRing_.empty()) {
        HeldLine& slot = NextSlot();
        slot.start = line.start;
        slot.length = line.Bytes(s_.wide);
        slot.stored = stored;
        if (stored)
            slot.text = text_;
    }
    ++heldCount_;
}

void LineStage::SkipFailingLine(qint64 start, qint64 length) {
    ++linesRead_;
    ++linesFiltered_;
    if (!heldRing_.empty()) {
        HeldLine& slot = NextSlot();
        slot.start = start;
        slot.length = length;
        slot.stored = false;
    }
    ++heldCount_;
}

LineStage::HeldLines LineStage::Held() const {
    HeldLines held;
    held.count = heldCount_;
    const qint64 ring = static_cast<qint64>(heldRing_.size());
    for (qint64 i = heldCount_ - std::min(heldCount_, ring); i < heldCount_; ++i)
        held.last.push_back(heldRing_[static_cast<size_t>(i % ring)]);
    return held;
}

void LineStage::ResumeHeld(const HeldLines& held) {
    afterCountdown_ = 0;
    heldCount_ = held.count;
    const qint64 ring = static_cast<qint64>(heldRing_.size());
    ringPos_ = ring > 0 ? size_t(heldCount_ % ring) : 0;
    const qint64 first = heldCount_ - static_cast<qint64>(held.last.size());
    for (size_t k = 0; k < held.last.size() && ring > 0; ++k)
        heldRing_[static_cast<size_t>((first + qint64(k)) % ring)] = held.last[k];
}

void LineStage::Emit(const HeldLine& line) {
    if (line.stored)
        out_.StoredLine(line.text);
    else
        out_.FileLine(line.start, line.length);
    ++outputLines_;
}

void LineStage::EmitHeld() {
    const qint64 before = static_cast<qint64>(heldRing_.size());
    const qint64 removed = heldCount_ - before;
    if (removed > 0 && s_.showRemLineInfo) {
        out_.StoredLine(QLatin1String("... (") + QString::number(removed) + QLatin1String(")"));
        ++outputLines_;
    }
    const qint64 shown = std::min(heldCount_, before);
    for (qint64 i = heldCount_ - shown; i < heldCount_; ++i)
        Emit(heldRing_[static_cast<size_t>(i % before)]);
    heldCount_ = 0;
    ringPos_ = 0;
}

// True when annotating changed the text: the line then goes out as text.
bool LineStage::Annotate(const StageLine& line, bool cut) {
    if (line.count < 7)
        return false;
    const QString before = Text(line);
    AnnotateAddresses(text_, resolver_, cut);
    return text_ != before;
}

void LineStage::TestAlert(const StageLine& line) {
    const MatchResult result = Decide(alert_, Text(line));
    if (result == MatchResult::Error)
        return;
    if ((result == MatchResult::Found) != s_.alertInverted) {
        alertLine_ = outputLines_;
        alertText_ = text_;
    }
}
