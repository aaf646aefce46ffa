#pragma once

// What the decoding helpers' confinement amounts to on this system, as seen from outside: whether
// the kernel filters their system calls, and whether they have network and mount namespaces of
// their own. Some systems refuse unprivileged namespaces; the helpers then run with their filter
// alone, and the program says so once.

#include <sys/types.h>

#include <optional>

namespace cropling {

struct HelperConfinement {
    bool filtered = false;      // in seccomp filter mode, unable to gain privileges
    bool ownNamespaces = false; // network and mount namespaces other than the program's

    // How the process `pid` is confined; nothing when it cannot be seen (it has ended).
    static std::optional<HelperConfinement> of(pid_t pid);

    // Looks at the first helper of the program that has answered, once: a helper without
    // namespaces of its own is reported on stderr.
    static void noteHelper(pid_t pid);
    // What the first helper showed; nothing before one has answered.
    static std::optional<HelperConfinement> seen();
};

} // namespace cropling
