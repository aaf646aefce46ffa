#include "HelperConfinement.h"

#include <QByteArray>
#include <QFile>

#include <unistd.h>

#include <cstdio>
#include <mutex>

namespace cropling {

namespace {

QByteArray namespaceOf(const QByteArray& process, const char* kind) {
    char target[64] = {};
    const QByteArray path = "/proc/" + process + "/ns/" + kind;
    const ssize_t n = ::readlink(path.constData(), target, sizeof target - 1);
    return n > 0 ? QByteArray(target, n) : QByteArray();
}

std::mutex seenMutex;
std::optional<HelperConfinement> firstSeen;

} // namespace

std::optional<HelperConfinement> HelperConfinement::of(pid_t pid) {
    const QByteArray process = QByteArray::number(pid);
    QFile status(QString::fromLatin1("/proc/" + process + "/status"));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    HelperConfinement seen;
    bool noNewPrivileges = false;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Seccomp:"))
            seen.filtered = line.mid(8).trimmed() == "2";
        else if (line.startsWith("NoNewPrivs:"))
            noNewPrivileges = line.mid(11).trimmed() == "1";
    }
    seen.filtered = seen.filtered && noNewPrivileges;
    bool own = true;
    for (const char* kind : {"net", "mnt"}) {
        const QByteArray theirs = namespaceOf(process, kind);
        if (theirs.isEmpty())
            return std::nullopt;
        own = own && theirs != namespaceOf("self", kind);
    }
    seen.ownNamespaces = own;
    return seen;
}

void HelperConfinement::noteHelper(pid_t pid) {
    std::lock_guard lock(seenMutex);
    if (firstSeen || pid <= 0)
        return;
    firstSeen = of(pid);
    if (firstSeen && !firstSeen->ownNamespaces)
        std::fputs("cropling: this system refuses unprivileged namespaces, so pictures are decoded in helpers "
                   "confined by their system call filter alone\n",
                   stderr);
}

std::optional<HelperConfinement> HelperConfinement::seen() {
    std::lock_guard lock(seenMutex);
    return firstSeen;
}

} // namespace cropling
