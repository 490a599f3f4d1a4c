// Which kind answers for a name: a prefix names the kind; anything else is a local file.
#include "source/source.h"

#include "source/local_file.h"
#include "source/ssh_name.h"
#include "source/ssh_source.h"

const SourceKind& SourceKindOf(const QString& name) {
    static const LocalFileKind localFile;
    static const SshKind ssh;
    if (IsSshName(name))
        return ssh;
    return localFile;
}
