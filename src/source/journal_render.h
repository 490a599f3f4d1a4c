#pragma once
// One journal entry as a line of text, as `journalctl -o short-iso` prints it:
// "2026-12-09T18:02:40+0000 host sshd[812]: message". A message of several lines goes on in the
// next lines, indented to the message's column; tabs become eight blanks, colour sequences go, and
// a message that is not printable UTF-8 shows as "[N blob data]". The time is local.
// Pure functions; any thread.
#include <optional>

#include <QByteArray>
#include <QByteArrayView>

// The fields the line is made of; a null view is a field the entry does not have.
struct JournalEntryFields {
    QByteArrayView message;
    QByteArrayView hostname;
    QByteArrayView identifier;     // SYSLOG_IDENTIFIER
    QByteArrayView comm;           // _COMM
    QByteArrayView pid;            // _PID
    QByteArrayView syslogPid;      // SYSLOG_PID
    QByteArrayView sourceRealtime; // _SOURCE_REALTIME_TIMESTAMP, microseconds
};

// Appends the entry's lines (each ending with LF) to out; an entry without a message adds nothing.
// realtimeUs: when the journal received it (the time shown unless the source gave its own).
void RenderJournalEntry(const JournalEntryFields& fields, quint64 realtimeUs, QByteArray& out);
// The line that separates two boots: "-- Boot 0123...cdef --".
void RenderBootLine(QByteArrayView bootIdHex, QByteArray& out);
