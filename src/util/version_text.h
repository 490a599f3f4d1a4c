#pragma once
// VersionText: the version of this program or of another executable, from its version record.
// On Linux the record is a marker string baked into our binary (see version_text.cpp); an
// executable without it has no version.

#include <QString>

// "?.?.?.?" when the record is missing or unreadable, whatever the flags. Otherwise
// major.minor.release, followed with withBuild by ".build" (dottedBuild) or " (build N)".
// An empty (trimmed) path means this program.
QString VersionText(const QString& executablePath, bool withBuild, bool dottedBuild);
