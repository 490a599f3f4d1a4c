#include "engine/regex.h"

#include <algorithm>
#include <ctime>

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace {

pcre2_code* Code(void* p) {
    return static_cast<pcre2_code*>(p);
}
pcre2_match_data* Data(void* p) {
    return static_cast<pcre2_match_data*>(p);
}
pcre2_match_context* Context(void* p) {
    return static_cast<pcre2_match_context*>(p);
}

// What a callout answers to end the search; any negative number does, this one is ours.
constexpr int kBoundHit = -1000;

// A JIT stack large enough for long lines, small enough to stay a bound (the default is 32 KiB).
constexpr PCRE2_SIZE kJitStackStart = 32 * 1024;
constexpr PCRE2_SIZE kJitStackMax = 1024 * 1024;

bool LimitHit(int rc) {
    return rc == kBoundHit || rc == PCRE2_ERROR_MATCHLIMIT || rc == PCRE2_ERROR_DEPTHLIMIT ||
           rc == PCRE2_ERROR_HEAPLIMIT || rc == PCRE2_ERROR_JIT_STACKLIMIT;
}

// Never hand the library a null subject pointer, even for an empty line.
const char16_t kEmpty[1] = {0};

// With a time bound the callouts stop the search, and the JIT counts them against the match limit:
// a limit this high leaves the deciding to the clock.
constexpr quint32 kBoundedMatchLimit = 100000000;
// Callouts between two looks at the clock (a look at the thread's processor time is a system
// call, about as dear as thirty callouts).
constexpr unsigned kCallsPerClockLook = 32;

int OnCallout(pcre2_callout_block*, void* data) {
    return static_cast<PatternMatcher::Bound*>(data)->Hit() ? kBoundHit : 0;
}

// Processor time, not the wall clock: a thread that waits for a processor on a busy machine has
// not searched meanwhile.
qint64 ThreadTimeNs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

PatternMatcher::~PatternMatcher() {
    Free();
}

void PatternMatcher::Free() {
    if (match_)
        pcre2_match_data_free(Data(match_));
    for (Form* form : {&plain_, &bounded_}) {
        if (form->code)
            pcre2_code_free(Code(form->code));
        if (form->context)
            pcre2_match_context_free(Context(form->context));
        *form = Form{};
    }
    if (stack_)
        pcre2_jit_stack_free(static_cast<pcre2_jit_stack*>(stack_));
    match_ = nullptr;
    stack_ = nullptr;
}

bool PatternMatcher::Bound::Hit() {
    if (interrupt && interrupt->load(std::memory_order_relaxed))
        return true;
    return budget.count() > 0 && ++calls % kCallsPerClockLook == 0 && ThreadTimeNs() >= deadlineNs;
}

void PatternMatcher::SetTimeBound(std::chrono::microseconds budget, const std::atomic<bool>* interrupt) {
    bound_.budget = budget;
    bound_.interrupt = interrupt;
}

void PatternMatcher::StartBound() {
    bound_.calls = 0;
    if (bound_.budget.count() > 0)
        bound_.deadlineNs = ThreadTimeNs() + std::chrono::nanoseconds(bound_.budget).count();
}

bool PatternMatcher::Compile(const QString& pattern, bool withCallouts, Form& form) {
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    const auto* text = pattern.isEmpty() ? kEmpty : reinterpret_cast<const char16_t*>(pattern.utf16());
    const uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | (ignoreCase_ ? PCRE2_CASELESS : 0u) |
                             (withCallouts ? PCRE2_AUTO_CALLOUT : 0u);
    pcre2_code* code =
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(text), static_cast<PCRE2_SIZE>(pattern.size()), options,
                      &error, &errorOffset, nullptr);
    if (!code)
        return false;
    form.code = code;
    form.jit = pcre2_jit_compile(code, PCRE2_JIT_COMPLETE) == 0;
    pcre2_match_context* context = pcre2_match_context_create(nullptr);
    form.context = context;
    if (!context)
        return false;
    pcre2_set_match_limit(context, withCallouts ? kBoundedMatchLimit : kRegexMatchLimit);
    pcre2_set_depth_limit(context, kRegexDepthLimit);
    if (withCallouts)
        pcre2_set_callout(context, OnCallout, &bound_);
    if (form.jit) {
        if (!stack_)
            stack_ = pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr);
        if (stack_)
            pcre2_jit_stack_assign(context, nullptr, static_cast<pcre2_jit_stack*>(stack_));
    }
    return true;
}

bool PatternMatcher::SetPattern(const QString& pattern, bool ignoreCase) {
    if (compiled_ && pattern == pattern_ && ignoreCase == ignoreCase_ && boundCompiled_ == Bounded())
        return Valid();
    Free();
    pattern_ = pattern;
    ignoreCase_ = ignoreCase;
    compiled_ = true;
    boundCompiled_ = Bounded();
    if (!Compile(pattern, false, plain_) || (boundCompiled_ && !Compile(pattern, true, bounded_)) ||
        !(match_ = pcre2_match_data_create_from_pattern(Code(plain_.code), nullptr))) {
        Free();
        return false;
    }
    return true;
}

int PatternMatcher::Match(QStringView subject, qsizetype start) {
    const auto* text = subject.isEmpty() ? kEmpty : reinterpret_cast<const char16_t*>(subject.utf16());
    const auto length = static_cast<PCRE2_SIZE>(subject.size());
    const auto sptr = reinterpret_cast<PCRE2_SPTR>(text);
    const auto offset = static_cast<PCRE2_SIZE>(start);
    const Form& form = bounded_.code && subject.size() > kShortSubject ? bounded_ : plain_;
    pcre2_match_context* context = Context(form.context);
    return form.jit ? pcre2_jit_match(Code(form.code), sptr, length, offset, 0, Data(match_), context)
                    : pcre2_match(Code(form.code), sptr, length, offset, 0, Data(match_), context);
}

MatchResult PatternMatcher::Search(QStringView subject) {
    if (!Valid())
        return MatchResult::Error;
    StartBound();
    const int rc = Match(subject, 0);
    if (rc >= 0)
        return MatchResult::Found;
    if (rc == PCRE2_ERROR_NOMATCH)
        return MatchResult::NotFound;
    return LimitHit(rc) ? MatchResult::TooCostly : MatchResult::Error;
}

MatchResult PatternMatcher::ForEachMatch(QStringView subject,
                                         const std::function<void(qsizetype, qsizetype)>& each) {
    if (!Valid())
        return MatchResult::Error;
    StartBound();
    qsizetype start = 0;
    while (start <= subject.size()) {
        const int rc = Match(subject, start);
        if (rc == PCRE2_ERROR_NOMATCH)
            return MatchResult::NotFound;
        if (rc < 0)
            return LimitHit(rc) ? MatchResult::TooCostly : MatchResult::Error;
        const PCRE2_SIZE* bounds = pcre2_get_ovector_pointer(Data(match_));
        // \K can put the start after the end; such a match counts as empty at its end.
        const auto end = static_cast<qsizetype>(bounds[1]);
        const qsizetype from = std::min(static_cast<qsizetype>(bounds[0]), end);
        each(from, end);
        if (boundCompiled_ && bound_.Hit())
            return MatchResult::TooCostly; // many quick matches: the callouts alone may not look
        if (end > start) {
            start = end;
        } else {
            // Step over a whole surrogate pair, never into its middle.
            const bool pair = start + 1 < subject.size() && subject[start].isHighSurrogate() &&
                              subject[start + 1].isLowSurrogate();
            start += pair ? 2 : 1;
        }
    }
    return MatchResult::NotFound;
}

int RegexMajorVersion() {
    return PCRE2_MAJOR;
}
int RegexMinorVersion() {
    return PCRE2_MINOR;
}
QString RegexVersionText() {
    return QString::number(RegexMajorVersion()) + QLatin1Char('.') + QString::number(RegexMinorVersion());
}
