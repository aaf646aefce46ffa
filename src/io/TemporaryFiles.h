#pragma once

// Names of temporary files that exist for a moment while a file is written, removed even when a
// signal ends the program then (SIGINT, SIGTERM, SIGHUP): an interrupted run leaves nothing. A
// run killed outright leaves a note of each in a private folder, and the next run removes them.

#include <QByteArray>

namespace cropling {

// Remembers the name until forget(); false (and nothing remembered) when too many are in use at
// once, in which case the caller goes on without the guard.
bool rememberTemporary(const QByteArray& path);
void forgetTemporary(const QByteArray& path);

// Removes what runs that were killed while writing left behind: each named temporary noted by a
// process that no longer runs, if it is still a regular file of this user under such a name.
void removeUnfinishedTemporaries();

} // namespace cropling
