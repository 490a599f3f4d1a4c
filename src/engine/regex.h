#pragma once
// A compiled search pattern (PCRE2, 16-bit code units, JIT when available) for the filter and the
// alert. Compiled again only when the pattern text changes; the match data is reused. UTF mode
// with invalid-UTF matching, so any decoded text (lone surrogates included) can be searched.
// Case-sensitive and unanchored unless the pattern says otherwise ("(?i)").
// The work of one search is bounded (the library's match and depth limits, a JIT stack of its
// own), so a pathological pattern such as ^(a+)+$ costs at most about a millisecond per line
// instead of seconds: such a search answers TooCostly. Those limits do not bound the time of every
// pattern on a long line (the JIT runs .*.*X for minutes on 200,000 characters without reaching
// them); a matcher that a window waits for, or that must stop when asked, is given a time budget
// or an interrupt flag as well, checked from callouts while the library works on a subject longer
// than kShortSubject (a shorter one is searched without callouts: its limits bound it).
// Not thread-safe: one pass thread at a time uses an object.
#include <atomic>
#include <chrono>
#include <functional>

#include <QString>
#include <QStringView>

enum class MatchResult { Found, NotFound, TooCostly, Error };

// The bounds of one search: backtracking steps, and nesting depth (the interpreter's only).
inline constexpr quint32 kRegexMatchLimit = 200000;
inline constexpr quint32 kRegexDepthLimit = 10000;

class PatternMatcher final {
public:
    PatternMatcher() = default;
    ~PatternMatcher();
    PatternMatcher(const PatternMatcher&) = delete;
    PatternMatcher& operator=(const PatternMatcher&) = delete;

    // Every later Search or ForEachMatch call answers TooCostly once it has used `budget` of its
    // thread's processor time (zero: no time bound), or once *interrupt (may be null) is true. The
    // checks cost about a third more per search of a long subject, so only matchers that need them
    // set them. Whether there is a bound at all is built into the compiled pattern (it takes
    // effect at the next SetPattern); a new budget for a matcher that has one takes effect at once.
    void SetTimeBound(std::chrono::microseconds budget, const std::atomic<bool>* interrupt = nullptr);

    // Compiles when the text differs from the last one; answers whether the pattern is valid.
    bool SetPattern(const QString& pattern) { return SetPattern(pattern, false); }
    // The same, optionally caseless from the start (a find bar's "Match case" off).
    bool SetPattern(const QString& pattern, bool ignoreCase);
    bool Valid() const { return plain_.code != nullptr; }
    MatchResult Search(QStringView subject);
    // Every match in the subject, left to right, as [start, end) units. An empty match is reported
    // and the next search starts one character further, so a pattern such as "x*" ends. Stops at
    // the first search that is not Found or NotFound and answers it (TooCostly, Error): the
    // matches reported before it are then incomplete.
    MatchResult ForEachMatch(QStringView subject, const std::function<void(qsizetype, qsizetype)>& each);

    // Subjects up to this long are searched without callouts.
    static constexpr qsizetype kShortSubject = 4096;

    // Callouts' state; public only for the library's callout function.
    struct Bound {
        std::chrono::microseconds budget{0};
        const std::atomic<bool>* interrupt = nullptr;
        qint64 deadlineNs = 0; // of the thread's processor time
        unsigned calls = 0;
        bool Hit();
    };

private:
    // One compiled form of the pattern: its code, whether the JIT took it, the context (limits,
    // callout) of its searches.
    struct Form {
        void* code = nullptr; // pcre2_code_16*
        bool jit = false;
        void* context = nullptr; // pcre2_match_context_16*
    };
    void Free();
    bool Compile(const QString& pattern, bool withCallouts, Form& form);
    bool Bounded() const { return bound_.budget.count() > 0 || bound_.interrupt; }
    void StartBound();
    int Match(QStringView subject, qsizetype start);

    QString pattern_;
    Bound bound_;
    bool boundCompiled_ = false; // bounded_ exists
    bool ignoreCase_ = false;
    bool compiled_ = false;
    Form plain_;
    Form bounded_;          // with the callouts, for long subjects of a bounded matcher
    void* match_ = nullptr; // pcre2_match_data_16*
    void* stack_ = nullptr; // pcre2_jit_stack_16*
};

// "10.42": the library's major and minor version, for the about box.
int RegexMajorVersion();
int RegexMinorVersion();
QString RegexVersionText();
