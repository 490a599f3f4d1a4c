#pragma once
// One established SSH connection with its SFTP channel: the socket, the handshake, the server's
// key checked against known_hosts, the user authenticated. ~/.ssh is $HOME/.ssh; its config
// applies (HostName, User, Port, IdentityFile...), then the system's.
//
// Threads: a link is used by one thread at a time (its connection's lock). Destroying it shuts
// its socket down first, so nothing in the teardown waits on a server that stopped answering.
#include <chrono>
#include <memory>

#include <QString>

#include <libssh/callbacks.h>
#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include "source/ssh_name.h"
#include "source/ssh_watchdog.h"

// Connecting (name lookup, TCP, handshake) may take this long in all; each request after it this
// long for its answer.
inline constexpr std::chrono::milliseconds kConnectLimit = std::chrono::seconds(10);
inline constexpr std::chrono::milliseconds kRequestLimit = std::chrono::seconds(15);

struct SshLink {
    SshLink() = default;
    ~SshLink();
    SshLink(const SshLink&) = delete;
    SshLink& operator=(const SshLink&) = delete;

    // Still usable: nothing was cut and the server has not gone.
    bool Alive() const;

    ssh_session session = nullptr;
    sftp_session sftp = nullptr;
    int fd = -1;
    bool broken = false;
    ssh_callbacks_struct callbacks{};
};

// Connects to target; null with *error, and *unreachable when no SSH server answered at all.
// shown: how messages name the target.
std::unique_ptr<SshLink> OpenSshLink(const SshName& target, const QString& shown, SourceCancel cancel,
                                     QString* error, bool* unreachable);

// The text of a failed request: cut short (timed out, cancelled), the connection gone, or libssh's.
QString StepFailure(const SshLink& link, StepCut cut, const QString& shown);
