#pragma once
// Logs the user in: the agent and the keys (~/.ssh and the config's IdentityFile), a key's
// passphrase asked when needed, then a password or the server's own prompts. What the person
// typed is kept in this process's memory only, for later connections to the same target, and
// forgotten when the server refuses it; a question refused is not asked again.
#include <QString>

#include "source/source.h"

struct SshLink;

// After TrustServer. false with *error (the methods the server accepts named).
bool Authenticate(SshLink& link, const QString& shown, SourceCancel cancel, QString* error);
