#pragma once
// The tail window's command line: the raw text its identity is computed from, and what the
// switches ask for. Pure functions; the window applies the result (combos, check boxes, Start).

#include <QString>
#include <QStringList>

struct CommandLineOptions {
    bool start = false;     // "/start"
    bool minimized = false; // "/minimized"
    bool recycle = false;   // "/recycle"
    // "/f=" pattern: several concatenate, in order; checked even when the pattern is empty. The
    // box is checked (and its click handler runs) at the first switch, so filterAtCheck, the
    // pattern then, is what joins the history.
    QString filterPattern;
    QString filterAtCheck;
    bool filterChecked = false;
    // "/a=" pattern, the same for the alert.
    QString alertPattern;
    QString alertAtCheck;
    bool alertChecked = false;
    // The first argument that is no switch (and not "#"); an unknown switch such as /x counts.
    // fileNameGiven tells an empty argument from none, which keeps the last tailed file.
    QString fileName;
    bool fileNameGiven = false;
    QString rawCommandLine;
};

// The process's arguments (program path first) joined by blanks. An argument that is empty or
// holds white space or a double quote is written between double quotes, with \" for each quote
// inside, so that different argument lists give different texts (and identities).
QString RawCommandLine(const QStringList& arguments);

// When the text has at least two characters: a leading double quote is deleted, then a trailing
// one, each independently.
QString RemoveEndQuotes(QString text);

// arguments: as QCoreApplication::arguments() gives them, program path first. Switch names ignore
// case; patterns keep theirs. The first "--" ends the switches: the argument after it is a file
// name whatever it looks like (taken when no name came before).
CommandLineOptions ParseCommandLine(const QStringList& arguments);
