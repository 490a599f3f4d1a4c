#include "program_switches.h"

#include <cstdio>
#include <cstring>

#include "util/version_text.h"

namespace {

constexpr char kUsage[] =
    "Usage: kovra [SWITCH]... [FILE]\n"
    "Follow a growing log file, the newest file matching a wildcard pattern, the systemd\n"
    "journal (FILE journal:, journal:UNIT or journal:FIELD=VALUE...) or a file on another\n"
    "machine over SSH (FILE ssh://[USER@]HOST[:PORT]/PATH), in a window.\n"
    "\n"
    "  /start         start following at once\n"
    "  /minimized     start minimised (into the tray when the tray option is on)\n"
    "  /recycle       end at once, restoring a window started with the same command line\n"
    "  /f=PATTERN     show only the lines matching the regular expression PATTERN\n"
    "  /a=PATTERN     raise an alert on the lines matching PATTERN\n"
    "  --             what follows is a file name, even when it looks like a switch\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "Switch names ignore case; the first file name counts, later ones are ignored.\n"
    "\n"
    "Settings, in $XDG_CONFIG_HOME/kovra/ (by default ~/.config/kovra/):\n"
    "  registry.reg   the global parameters\n"
    "  kovra.ini      the file list and the filter and alert pattern histories\n"
    "\n"
    "Examples:\n"
    "  kovra /start \"/f=ERROR|WARN\" /var/log/syslog\n"
    "  kovra /start \"/a=Failed password\" journal:ssh.service\n"
    "  kovra /start ssh://web1/var/log/syslog\n"
    "\n"
    "See kovra(1) for more.\n";

bool Is(const char* argument, const char* name) {
    return std::strcmp(argument, name) == 0;
}

} // namespace

std::optional<int> AnswerProgramSwitches(int argc, const char* const* argv) {
    for (int i = 1; i < argc && !Is(argv[i], "--"); ++i) {
        const char* argument = argv[i];
        if (Is(argument, "--help") || Is(argument, "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (Is(argument, "--version") || Is(argument, "-V")) {
            std::printf("kovra %s\n", VersionText({}, true, true).toUtf8().constData());
            return 0;
        }
        if (std::strncmp(argument, "--", 2) == 0) {
            // The name's own bytes, as a file of that name is reached with them.
            std::fprintf(stderr, "kovra: unknown option %s (a file of that name is ./%s); see kovra --help\n",
                         argument, argument);
            return 2;
        }
    }
    return std::nullopt;
}
