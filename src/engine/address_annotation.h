#pragma once
// Replaces IPv4 addresses in a shown line by the names a resolver cache knows for them.
#include <QString>

// The reverse-DNS cache as the pass sees it. GetNameByIP never waits: it answers the host name,
// the address itself while its lookup is pending, or empty after a failed lookup. Called from the
// pass thread (the worker in worker mode); implementations lock their own state.
class AddressResolver {
public:
    virtual ~AddressResolver() = default;
    virtual QString GetNameByIP(const QString& address) = 0;
    // A number that changes whenever an answer of GetNameByIP may have changed; a resolver whose
    // answers never change keeps 0.
    virtual quint64 Generation() const { return 0; }
};

// Dotted quad of decimal parts 0..255, no empty part, no leading zero except in a zero part
// ("0", "00", "000"), the first part not zero; the fourth part's length is not limited.
bool IsIPv4Address(QStringView token);

// Scans from the end of the line to its start for tokens that start after a blank or "@" (or at
// the line's start), skips those starting "255" or not addresses, and puts "[" + name + "]" in
// place of each, or "?" + address + "?" when the resolver answers empty. Lines under 7 characters
// are left alone. A null resolver answers every address with itself. cutAtStart: the line's start
// is not the start of the line in the file (the read window began inside it), so the token there
// may be the end of another address: it is neither annotated nor asked for. The cost is linear in
// the line's length: the annotated line is built once, whatever the number of addresses.
void AnnotateAddresses(QString& line, AddressResolver* resolver, bool cutAtStart = false);
