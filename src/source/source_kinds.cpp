// Which kind answers for a name.
#include "source/source.h"

#include "source/local_file.h"

const SourceKind& SourceKindOf(const QString&) {
    static const LocalFileKind localFile;
    return localFile;
}
