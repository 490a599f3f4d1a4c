#pragma once
// The server's key against the known hosts files. A known key passes; an unknown server is asked
// about once, with its key's fingerprint (Yes adds it to the user's known_hosts, No refuses it for
// the life of the process); a key that differs from the one recorded is refused, and the message
// names the file and line holding the recorded one. Never accepted silently.
#include <QString>

#include <libssh/libssh.h>

#include "source/source.h"

// An option of the session as text, once the config has been applied (the host's real name...).
QString SessionOption(ssh_session session, ssh_options_e option);

// After the handshake. port: the one connected to (known_hosts names other ports "[host]:port").
bool TrustServer(ssh_session session, unsigned port, const QString& shown, SourceCancel cancel,
                 QString* error);

// The first line (from 1) of a known_hosts text whose hosts match entry ("host" or "[host]:port"),
// preferring one with keyType ("ssh-ed25519"...); 0 when none. Hashed hosts are matched too.
int KnownHostsLine(const QByteArray& text, const QString& entry, const QString& keyType);
