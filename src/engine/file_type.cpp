#include "engine/file_type.h"

#include "engine/followed_file.h"
#include "engine/pass_failure.h"

TFileType DetectFileType(const QByteArray& firstBytes) {
    if (firstBytes.size() < 3)
        return TFileType::Ansi;
    const auto b = [&](int i) { return static_cast<quint8>(firstBytes[i]); };
    if (b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF)
        return TFileType::UTF8;
    if (b(0) == 0xFF && b(1) == 0xFE)
        return TFileType::UNI;
    if (b(0) == 0xFE && b(1) == 0xFF)
        return TFileType::UNIBIG;
    if (b(0) == 0x7B && b(1) == 0x5C && b(2) == 0x72)
        return TFileType::RTF;
    if (b(0) == 0xD0 && b(1) == 0xCF && b(2) == 0x11)
        return TFileType::DOC;
    return TFileType::Ansi;
}

QString FileTypeLabel(TFileType type) {
    switch (type) {
    case TFileType::Ansi:
        return QStringLiteral("Ansi");
    case TFileType::UTF8:
        return QStringLiteral("UTF8");
    case TFileType::UNI:
        return QStringLiteral("UNI");
    case TFileType::UNIBIG:
        return QStringLiteral("UNIBIG");
    case TFileType::RTF:
        return QStringLiteral("RTF");
    case TFileType::DOC:
        return QStringLiteral("DOC");
    }
    return QStringLiteral("?");
}

TypeProbe ProbeFileType(const QString& fileName, SourceCancel cancel) {
    TypeProbe probe;
    try {
        FollowedFile file;
        if (!file.Open(fileName, cancel)) {
            probe.error = file.ErrorString();
            return probe;
        }
        char head[3] = {};
        probe.bytesRead = file.ReadAt(0, head, sizeof head);
        if (probe.bytesRead < 0) {
            probe.error = file.ErrorString();
            probe.bytesRead = 0;
            return probe;
        }
        probe.opened = true;
        probe.type = DetectFileType(QByteArray(head, qsizetype(probe.bytesRead)));
    } catch (const PassCancelled&) {
        probe = TypeProbe();
        probe.error = QStringLiteral("Stopped");
    }
    return probe;
}
