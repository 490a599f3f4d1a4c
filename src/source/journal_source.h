#pragma once
// The journal as a source: names that start with "journal:" (journal_name.h), read as the text of
// its entries (journal_text.h). Each name's text is kept for the passes and the reads after them,
// so following it renders only the entries that came. Changes are told by the journal's own
// descriptor.
#include "source/source.h"

class JournalKind final : public SourceKind {
public:
    SourceTraits Traits() const override;
    SourceFacts Facts(const QString& name, SourceCancel cancel) const override;
    std::unique_ptr<SourceReader> Open(const QString& name, QString* error,
                                       SourceCancel cancel) const override;
    std::optional<std::vector<FolderEntry>> ListFiles(const QString& folder,
                                                      SourceCancel cancel) const override;
    std::unique_ptr<SourceWatch> Watch(const QString& name, std::function<void()> changed) const override;
    QString ShortName(const QString& name) const override;
    // From the entries' priorities (journal_levels.h).
    LineLevelLookup LineLevels(const QString& name) const override;
};
