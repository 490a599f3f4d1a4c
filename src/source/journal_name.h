#pragma once
// Journal names: "journal:" the local journal (every entry the user may read), "journal:MATCH"
// with matches as journalctl takes them (FIELD=VALUE, joined by blanks or "+"; "+" alone, or
// between two matches, is an "or" of what stands before and after it; a bare unit name such as
// "cron.service" stands for _SYSTEMD_UNIT= that unit), "journal:/FOLDER" and
// "journal:/FOLDER:MATCH" the journal files in FOLDER. Pure functions; any thread.
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>

inline constexpr char16_t kJournalPrefix[] = u"journal:";

struct JournalName {
    QString folder; // empty: the local journal
    QString matchText;
    // Groups joined by "or"; the matches of a group as sd_journal_add_match takes them (the
    // journal ors the values of one field and ands different fields).
    std::vector<std::vector<QByteArray>> groups;
};

bool IsJournalName(const QString& name);
// nullopt with *error when the match part holds something that is no match.
std::optional<JournalName> ParseJournalName(const QString& name, QString* error);
