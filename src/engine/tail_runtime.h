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
#include "engine/read_buffer.h"
#include "engine/regex.h"

class AddressResolver;
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

    QString CurrentFileName;
    QString PreviousFileName;
    TFileType FileType = TFileType::Ansi;
    bool TypeProvisional = true; // typed from fewer than three bytes (or not at all): type again
    QDateTime LastChangeTime;
    QDateTime LastFileChangeNoticeTime;
    qint32 AppliedTabWidth = -1;
    QString LastAlertLine = QStringLiteral("VLMWASHERE");

    ReadBuffer Buffer;
    PatternMatcher FilterExpr;
    PatternMatcher AlertExpr;
};
