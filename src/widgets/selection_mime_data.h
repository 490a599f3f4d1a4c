#pragma once
// Clipboard data for a range of a snapshot. A small range is turned into text at once; a large
// one (select all on a big view) only when a program asks for it, so selecting costs nothing and
// the X selection can follow every change of the selection.
#include <memory>

#include <QMimeData>

#include "engine/view_snapshot.h"

std::unique_ptr<QMimeData> MakeSelectionMimeData(const ViewSnapshot& snapshot, ViewRange range,
                                                 QStringView lineBreak);
