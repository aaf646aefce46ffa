#include "TemporaryFiles.h"

#include "io/PrivateFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace cropling {

namespace {

// A fixed table, so that the signal handler reads it without allocating or locking: a slot is
// filled under the mutex and only then marked used.
constexpr int kSlots = 64;
constexpr size_t kPathBytes = 4096;
struct Slot {
    std::atomic<bool> used{false};
    char path[kPathBytes];
};
Slot slots[kSlots];
std::mutex slotsMutex;

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous[3];

void removeAndEnd(int signal) {
    for (Slot& slot : slots) {
        if (slot.used.load())
            ::unlink(slot.path);
    }
    // Then the signal does what it did before: usually ending the program.
    for (int i = 0; i < 3; ++i) {
        if (kSignals[i] == signal)
            ::sigaction(signal, &previous[i], nullptr);
    }
    ::raise(signal);
}

void installOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int i = 0; i < 3; ++i) {
            struct sigaction action {};
            action.sa_handler = removeAndEnd;
            sigemptyset(&action.sa_mask);
            // A program that handles the signal itself (the window quits cleanly) keeps its handler.
            if (::sigaction(kSignals[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler == SIG_DFL)
                ::sigaction(kSignals[i], &action, nullptr);
        }
    });
}

// The private folder of notes: one file per named temporary, "<pid>-<slot>", holding its path.
QByteArray notesFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    if (state && state[0] == '/')
        return QByteArray(state) + "/cropling/unfinished";
    if (home && home[0] == '/')
        return QByteArray(home) + "/.local/state/cropling/unfinished";
    return {};
}

// Made as needed, each missing folder closed to others; nothing unless the last one is private.
QByteArray openNotesFolder() {
    const QByteArray folder = notesFolder();
    if (folder.isEmpty())
        return {};
    for (qsizetype slash = folder.indexOf('/', 1); slash > 0; slash = folder.indexOf('/', slash + 1))
        ::mkdir(folder.left(slash).constData(), 0700);
    ::mkdir(folder.constData(), 0700);
    return isPrivateFolder(folder) ? folder : QByteArray();
}

QByteArray noteName(int slot) { return QByteArray::number(::getpid()) + '-' + QByteArray::number(slot); }

void writeNote(int slot, const QByteArray& path) {
    static const QByteArray folder = openNotesFolder();
    if (folder.isEmpty())
        return;
    QByteArray absolute = path;
    if (!path.startsWith('/')) {
        char here[4096];
        if (!::getcwd(here, sizeof here))
            return;
        absolute = QByteArray(here) + '/' + path;
    }
    const int fd = ::open((folder + '/' + noteName(slot)).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;
    (void)!::write(fd, absolute.constData(), size_t(absolute.size()));
    ::close(fd);
}

void removeNote(int slot) {
    const QByteArray folder = notesFolder();
    if (!folder.isEmpty())
        ::unlink((folder + '/' + noteName(slot)).constData());
}

} // namespace

bool rememberTemporary(const QByteArray& path) {
    if (size_t(path.size()) >= kPathBytes)
        return false;
    installOnce();
    std::lock_guard lock(slotsMutex);
    for (int i = 0; i < kSlots; ++i) {
        if (!slots[i].used.load()) {
            std::memcpy(slots[i].path, path.constData(), size_t(path.size()) + 1);
            slots[i].used.store(true);
            writeNote(i, path);
            return true;
        }
    }
    return false;
}

void forgetTemporary(const QByteArray& path) {
    std::lock_guard lock(slotsMutex);
    for (int i = 0; i < kSlots; ++i) {
        if (slots[i].used.load() && path == slots[i].path) {
            slots[i].used.store(false);
            removeNote(i);
            return;
        }
    }
}

void removeUnfinishedTemporaries() {
    const QByteArray folder = notesFolder();
    if (folder.isEmpty() || !isPrivateFolder(folder))
        return;
    DIR* notes = ::opendir(folder.constData());
    if (!notes)
        return;
    while (const dirent* entry = ::readdir(notes)) {
        const QByteArray name(entry->d_name);
        bool numeric = false;
        const long pid = name.left(name.indexOf('-')).toLong(&numeric);
        // A note of a process that still runs is its own business.
        if (!numeric || pid <= 0 || (pid != ::getpid() && (::kill(pid_t(pid), 0) == 0 || errno == EPERM)))
            continue;
        const QByteArray note = folder + '/' + name;
        const int fd = ::open(note.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        QByteArray path(4096, Qt::Uninitialized);
        const ssize_t n = ::read(fd, path.data(), size_t(path.size()));
        ::close(fd);
        path.truncate(std::max<ssize_t>(n, 0));
        struct stat info {};
        if (path.startsWith('/') && path.mid(path.lastIndexOf('/') + 1).startsWith(".cropling-") &&
            ::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            ::unlink(path.constData());
        ::unlink(note.constData());
    }
    ::closedir(notes);
}

} // namespace cropling
