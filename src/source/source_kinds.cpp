// Which kind answers for a name: a prefix names the kind; anything else is a local file.
#include "source/source.h"

#include "source/journal_name.h"
#include "source/journal_source.h"
#include "source/local_file.h"
#include "source/ssh_name.h"
#include "source/ssh_source.h"

const SourceKind& SourceKindOf(const QString& name) {
    static const LocalFileKind localFile;
    static const JournalKind journal;
    static const SshKind ssh;
    if (IsJournalName(name))
        return journal;
    if (IsSshName(name))
        return ssh;
    return localFile;
}
