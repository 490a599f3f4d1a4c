#pragma once
// Running instances: how tail windows of different processes find each other, read each other's
// caption and identity, and post the show/hide request.
//
// Each window opens one InstanceChannel: a local socket named w<handle> in the per-user instance
// folder ($XDG_RUNTIME_DIR/kovra/, else /tmp/kovra-<uid>/, mode 0700). A small line protocol runs
// on it:
//   "QUERY\n"       -> "<caption>\n<identity as unsigned decimal>\n"
//   "SHOWHIDE <n>\n" -> no answer; 0 = restore, 1 = minimise, other values are ignored
//   "DESCRIBE\n"     -> "<key>=<value>\n" lines, then an empty line
//   "DESCRIBE VIEW\n" -> the same with the view's text and selection, each bounded
// DESCRIBE is how tools and tests ask a running window what it follows (tail state, file name,
// patterns, whether it is minimised...; the tail window's keys are listed at
// TFormTail::Describe). Its answer stays small and costs the window little whatever it shows; only
// DESCRIBE VIEW copies text out of the view, at most kDescribeTextLimit characters of each kind.
// The window registers a describer on its channel, which runs on the window thread: the responder hands the
// request over there and waits at most kDescribeTimeoutMs. A window without a describer, or one whose thread
// did not answer in time, sends the empty line alone. While it waits, the responder answers no other request.
// A channel listens under the name t<handle> first and renames its socket into place, so a socket
// found under a w name always listens; one that refuses is removed only once the process named by
// its handle is gone (a closing window removes its own).
// The handle is the number in the socket's name: the process id for the first channel of a
// process, with a serial number above bit 22 (Linux process ids stay below 2^22) for further
// channels of the same process, so it stays unique among live processes and fits a qint32.
//
// The listening side answers on a thread of its own, so a query is answered even while the window
// thread is busy in a pass or is itself enumerating; requests reach the window thread as a queued
// signal. The enumeration and posting functions run on the calling thread and block at most
// kInstanceTimeoutMs per socket; they never wait for a peer to act on a request.

#include <functional>
#include <memory>
#include <mutex>

#include <QMap>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include "util/pair_lists.h"

inline constexpr int kInstanceTimeoutMs = 300;
inline constexpr int kDescribeTimeoutMs = 2000;
inline constexpr int kDescribeTextLimit = 64 * 1024;
inline constexpr int kShowHideRestore = 0;
inline constexpr int kShowHideMinimise = 1;

// The instance folder, created with mode 0700 when missing: $XDG_RUNTIME_DIR/kovra when that folder
// can be used, else /tmp/kovra-<uid>. Empty when neither can be used.
QString InstanceFolder();

// Makes sure path is a real folder (not a link) owned by ownerUid with mode 0700, creating it when
// missing and tightening the mode of a folder of ours; false for anything else (another user's
// folder is never used, whatever its mode).
bool PrepareInstanceFolder(const QString& path, uint ownerUid);

class InstanceResponder;

// A window's answer to DESCRIBE: key -> value. Keys and values are single lines (line breaks are
// sent as blanks); a key holds no "=".
using WindowDescription = QMap<QString, QString>;
// What DESCRIBE asks for: the summary alone, or with the view's text (DESCRIBE VIEW).
enum class DescribeDetail { Summary, WithView };
using WindowDescriber = std::function<WindowDescription(DescribeDetail)>;

// One window's end of the channel. Lives on the window thread; the caption and identity may be set
// at any time and are read by the responder thread under a lock.
class InstanceChannel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InstanceChannel)
public:
    explicit InstanceChannel(QObject* parent = nullptr);
    // Stops answering and removes the socket.
    ~InstanceChannel() override;

    // Starts listening in InstanceFolder(); false when the folder or the socket cannot be made.
    // A second call while listening does nothing and answers true.
    bool Listen();
    bool IsListening() const { return m_responder != nullptr; }
    QString SocketPath() const { return m_socketPath; }
    qint32 Handle() const { return m_handle; }

    void SetCaption(const QString& caption);
    // The window identity; 0 until set.
    void SetIdentity(quint32 identity);
    QString Caption() const;
    quint32 Identity() const;

    // The function that answers DESCRIBE; empty: none (the answer is empty). It is called on the
    // channel's thread, so it may read the window's widgets; it must not block. Clear it before
    // the things it reads go away.
    void SetDescriber(WindowDescriber describer);
    // Runs the describer; channel's thread only.
    WindowDescription Describe(DescribeDetail detail) const;

signals:
    // A sibling asked this window to restore (0) or minimise (1). Queued to the window thread.
    void ShowHideRequested(int mode);

private:
    mutable std::mutex m_infoLock;
    QString m_caption;
    quint32 m_identity = 0;
    WindowDescriber m_describer;

    QString m_socketPath;
    qint32 m_handle = 0;
    std::unique_ptr<InstanceResponder> m_responder;
};

// Every live instance socket whose caption starts with "KOVRA -" (case-sensitive), this process's
// included: (caption, handle) pairs in handle order. Sockets of dead processes are removed.
std::unique_ptr<TXStringIntList> CollectSiblingWindows();

// Posts the restore request to every sibling other than self whose identity equals identity;
// true when at least one matched.
bool FindRunningInstance(const InstanceChannel& self, quint32 identity);

// Post restore (ShowAll) or minimise (HideAll) to every sibling, this process's included.
void ShowAll();
void HideAll();

// Posts a show/hide request to the socket with that handle; false when it could not be delivered.
bool PostShowHide(qint32 handle, int mode);

// Asks the window with that handle to describe itself (with its view's text unless detail says
// Summary). Empty when it cannot be reached, has no describer or did not answer in time. Blocks
// the calling thread for up to about kInstanceTimeoutMs + kDescribeTimeoutMs, so never call it on
// the thread of the window asked.
WindowDescription DescribeWindow(qint32 handle, DescribeDetail detail = DescribeDetail::WithView);
