#pragma once
// Stand-in programs for the window's launches: scripts in a folder of the test that record how
// they were called. Each call writes its arguments (NUL-separated) to <name>.args, then adds a line
// to <name>.calls, so a test can wait for the n-th call and read the last one's arguments (bytes
// that are not UTF-8 read as file_names.h reads names, so a name compares equal only when every
// byte arrived).
#include <QString>
#include <QStringList>

class RecordingPrograms final {
public:
    explicit RecordingPrograms(const QString& folder);

    QString Folder() const { return folder_; }
    // A recorder named name; its path.
    QString Recorder(const QString& name) const;
    // A script with that body; its path.
    QString Script(const QString& name, const QString& body) const;

    int Calls(const QString& name) const;
    QStringList LastArguments(const QString& name) const;
    // Until name was called count times in all; false at the deadline.
    bool WaitCalls(const QString& name, int count) const;

private:
    QString Path(const QString& file) const;
    QString folder_;
};
