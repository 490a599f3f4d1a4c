#pragma once
// A snapshot of a real file's lines as a full read of a pass makes it: every line kept as its
// place in the file, read back through the file's LineSource. For tests of what the engine hands
// the view; the file must outlive the snapshot's use.
#include <memory>

#include "engine/followed_file.h"
#include "engine/line_source.h"
#include "engine/read_buffer.h"
#include "engine/regex.h"
#include "engine/view_snapshot.h"
#include "engine/window_stretch.h"

struct FileSnapshot {
    ViewSnapshot snapshot;
    WindowStretch stretch; // counts, kept line end, alert
};

// Cuts and stages bytes [0, size) of the file; progress may be null.
inline FileSnapshot SnapshotOfFile(const QString& path, LineStageSettings settings,
                                   TFileType type = TFileType::Ansi, AddressResolver* resolver = nullptr,
                                   const SplitProgress* progress = nullptr) {
    auto followed = std::make_unique<FollowedFile>();
    if (!followed->Open(path))
        return {};
    const qint64 size = followed->Size();
    const auto source = std::make_shared<LineSource>(std::move(followed));
    PatternMatcher filter;
    PatternMatcher alert;
    ReadBuffer buffer;
    settings.wide = IsWideType(type);
    ViewSnapshotBuilder builder;
    FileSnapshot made;
    made.stretch =
        ProcessStretch(0, size, nullptr, StretchSettings{type, settings, 1},
                       StretchServices{source, buffer, filter, alert, resolver, progress, nullptr}, &builder);
    made.snapshot = builder.Build();
    return made;
}
