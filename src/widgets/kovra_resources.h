#pragma once
#include <QIcon>
// The program's own pictures (SVG, compiled into kovra_ui). Call EnsureKovraResources() before the
// first use: kovra_ui is a static library, so nothing else pulls its resource table into a program.

inline constexpr char kImageProgram[] = ":/kovra/program.svg";
// Cycled by the passes for the tray icon: the same picture with the activity mark moved on.
inline constexpr const char* kImageTray[4] = {":/kovra/tray0.svg", ":/kovra/tray1.svg", ":/kovra/tray2.svg",
                                              ":/kovra/tray3.svg"};
inline constexpr char kImageAlarm[] = ":/kovra/alarm.svg";
// The 16 x 16 scroll-position indicator: at the end / somewhere in the middle.
inline constexpr char kImageBottom[] = ":/kovra/bottom.svg";
inline constexpr char kImageMiddle[] = ":/kovra/middle.svg";
inline constexpr char kImageBrowse[] = ":/kovra/browse.svg";
inline constexpr char kImageAddManager[] = ":/kovra/add_manager.svg";
inline constexpr char kImageTree[] = ":/kovra/tree.svg";
inline constexpr char kImageNotepad[] = ":/kovra/notepad.svg";
inline constexpr char kImagePrint[] = ":/kovra/print.svg";
inline constexpr char kImageManager[] = ":/kovra/manager.svg";
inline constexpr char kImageParameters[] = ":/kovra/parameters.svg";
inline constexpr char kImageClear[] = ":/kovra/clear.svg";
inline constexpr char kImageStart[] = ":/kovra/start.svg";
inline constexpr char kImageStop[] = ":/kovra/stop.svg";

void EnsureKovraResources();

// One of the pictures above (registering the resources first).
QIcon KovraPicture(const char* path);
