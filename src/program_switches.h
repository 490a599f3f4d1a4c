#pragma once
// The switches a Linux user tries first, answered before Qt starts: they need no display, open no
// window and leave the settings alone. The tail window's own switches (/start, /f=...) are read by
// window/command_line.h once the window exists.
#include <optional>

// argv as main() receives it. Looks at the arguments before the first "--", left to right, and
// the first of these decides: --help or -h prints the usage on standard output (status 0),
// --version or -V prints "kovra " and the version (0), any other argument starting with "--" is
// an unknown option: one line on standard error (2). Nothing when the program is to go on.
std::optional<int> AnswerProgramSwitches(int argc, const char* const* argv);
