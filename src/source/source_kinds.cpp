// Which kind answers for a name: a prefix names the kind; anything else is a local file.
#include "source/source.h"

#include "source/journal_name.h"
#include "source/journal_source.h"
#include "source/local_file.h"

const SourceKind& SourceKindOf(const QString& name) {
    static const LocalFileKind localFile;
    static const JournalKind journal;
    if (IsJournalName(name))
        return journal;
    return localFile;
}
