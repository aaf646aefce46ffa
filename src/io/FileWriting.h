#pragma once

// Writing exported files so that nothing half-written is ever left behind.

#include <QByteArray>
#include <QString>

#include <sys/types.h>

#include <optional>
#include <vector>

namespace cropling {

// A file as the file system knows it, whatever links or hard links lead to it.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The file a path names, its links followed; nothing when there is none.
std::optional<FileIdentity> identityOf(const QByteArray& path);

// Whether two paths name one file, whatever links or hard links lead to it; false when either is
// missing.
bool isSameFile(const QByteArray& a, const QByteArray& b);

// Writes all of the data to a descriptor, through short writes and interruptions; false on an error.
[[nodiscard]] bool writeAll(int fd, const QByteArray& data);

// What a link at the target means: the file the user pointed at through it (a save), or a name in
// a folder being filled, which is replaced by the new file and never followed out of the folder;
// then anything at the target but a regular file or a link is refused.
// A name the user gave that was no link when given (`NamedNoLink`) is written as such: a link
// found there later is replaced, never followed, and what is not a regular file is written in place.
enum class AtTarget { FollowLinks, ReplaceAnyLink, NamedNoLink };

// How to write to a path the user has just named: through its links if it is one, else as named.
AtTarget targetAsNamed(const QByteArray& path);

// How a write went: written, refused because it would replace one of the files to keep (the
// pictures being rendered), or failed for the reason given.
enum class WriteResult { Written, WouldReplaceKept, Failed };

// Writes into an unnamed file in the target's folder that gets a name only once all of it is on
// disk, then renames it over the target, so a failed or killed write (disk full, no permission,
// missing folder, a signal) leaves any existing file untouched and no partial file. A replaced
// file keeps its permissions and, where the process may, its owner. What is not a regular file (a
// FIFO, a terminal, /dev/stdout) is written in place, never replaced, and so is a writable file
// in a folder that takes no new files (the new size reserved first, so a full disk leaves it as it
// was). The path is bytes and may be relative to the working directory. The folder is opened once
// and everything after happens relative to it; a link is followed by hand only where the kernel
// would follow it (not one another user planted in a shared sticky folder). What would be replaced
// or written into is compared with the files in `keep` at the moment of writing. On failure says
// why, when asked, in words a person can read.
[[nodiscard]] WriteResult writeFile(const QByteArray& path, const QByteArray& data, QString* error = nullptr,
                                    AtTarget target = AtTarget::FollowLinks, const std::vector<FileIdentity>& keep = {});
[[nodiscard]] inline bool writeFileAtomically(const QByteArray& path, const QByteArray& data, QString* error = nullptr,
                                              AtTarget target = AtTarget::FollowLinks) {
    return writeFile(path, data, error, target) == WriteResult::Written;
}

} // namespace cropling
