#pragma once
// The definition's user command: a template in which "%s" stands for the file ("%%" for a percent
// sign). It is split into words like a command line first and "%s" is replaced inside its word
// afterwards, so a file name with blanks or quotes stays one argument and never adds options.
#include <QString>
#include <QStringList>

struct ExpandedUserCommand {
    bool ok = false;
    QString caption;       // the command as the menu shows it, "%s" replaced by the file
    QStringList arguments; // program first; empty when not ok
};

// Not ok for an empty template and for one with any other placeholder than one "%s" (a second
// "%s", "%d", a lone "%"), whose caption is then the template itself.
ExpandedUserCommand ExpandUserCommand(const QString& commandTemplate, const QString& fileName);
