#pragma once
// The window state that the pass, the alert step and the scheduler share (members of the tail
// window in the description), and the collaborators the engine is given.
//
// Threads: the atomics are written by the window thread and read by the pass (or the reverse);
// the plain members are used by the pass thread while the busy flag is set and by the window
// thread only while no pass runs (start and stop sequences), the busy flag's release/acquire
// ordering handing them over.
#include <atomic>

#include <QDateTime>
#include <QString>

#include "engine/file_type.h"
#include "engine/incremental_window.h"
#include "engine/read_buffer.h"
#include "engine/regex.h"
#include "engine/view_snapshot.h"

class AddressResolver;
class AlertMailer;
class AlertNotifier;
class DialogService;
class EngineClock;
class MailSender;
class TailWindowPort;
class TTailFileManager;
class TTailParam;

enum TTailStatus : qint32 { tsNone = 0, tsStop = 1, tsStart = 2 };

// Not owned. resolver, mail, dialogs and notifier may be null (no annotation lookups, no mail, no
// boxes, no desktop notifications).
struct EngineDeps {
    TailWindowPort* window = nullptr;
    TTailFileManager* manager = nullptr;
    TTailParam* params = nullptr;
    EngineClock* clock = nullptr;
    AddressResolver* resolver = nullptr;
    MailSender* mail = nullptr;
    DialogService* dialogs = nullptr;
    AlertNotifier* notifier = nullptr;
};

struct TailRuntime {
    std::atomic<TTailStatus> TailStatus{tsNone};
    std::atomic<bool> Busy{false};
    std::atomic<bool> ClearRequested{false};
    std::atomic<bool> MouseHeld{false};
    std::atomic<qint64> HidePoint{0};
    std::atomic<qint32> Countdown{0};
    std::atomic<qint32> RefreshRate{1};
    // Set by a stop or a close: the running pass ends at its next line, leaving the view as it was.
    std::atomic<bool> Cancel{false};

    QString CurrentFileName;
    QString PreviousFileName;
    TFileType FileType = TFileType::Ansi;
    // Type the file at the next pass whatever its name: set at a start, when the file was missing,
    // and while it has fewer than three bytes or could not be typed.
    bool TypeAgain = true;
    bool TypeFailed = false; // the last detection could not open the file
    // The start left HidePoint to the first pass that finds the source (a remote one).
    bool HideAtFirstPass = false;
    QDateTime LastChangeTime;
    QDateTime LastFileChangeNoticeTime;
    qint32 AppliedTabWidth = -1;
    QString LastAlertLine = QStringLiteral("VLMWASHERE");

    ReadBuffer Buffer;
    // The last read of the window, so the next one costs what changed; its output is the view's
    // next snapshot.
    IncrementalWindow Window;
    PatternMatcher FilterExpr;
    PatternMatcher AlertExpr;
    AlertMailer* Mailer = nullptr; // the engine's; null without a mail sender
};
