#pragma once
// Names of files on other machines: ssh://[user@]host[:port]/absolute/path, or sftp:// the same.
// The host may be an address ([::1] for IPv6) or an alias of ~/.ssh/config. The path is taken with
// its characters as they are (no %-escapes): it is a file name like any other.
#include <optional>

#include <QString>

struct SshName {
    QString user; // empty: the config's User, else the local user
    QString host;
    int port = 0; // 0: the config's Port, else 22
    QString path; // on the server, from its root
    // [user@]host[:port] as written: one connection serves every name with the same target.
    QString Target() const;
};

// The name says ssh:// or sftp:// (letters in any case).
bool IsSshName(const QString& name);
// nullopt with *error when the name is malformed (no host, no absolute path, a bad port).
std::optional<SshName> ParseSshName(const QString& name, QString* error);
