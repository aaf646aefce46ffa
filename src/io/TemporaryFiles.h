#pragma once

// Names of temporary files that exist for a moment while a file is written, removed even when a
// signal ends the program then (SIGINT, SIGTERM, SIGHUP): an interrupted run leaves nothing.

#include <QByteArray>

namespace cropling {

// Remembers the name until forget(); false (and nothing remembered) when too many are in use at
// once, in which case the caller goes on without the guard.
bool rememberTemporary(const QByteArray& path);
void forgetTemporary(const QByteArray& path);

} // namespace cropling
