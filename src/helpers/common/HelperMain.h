#pragma once

// What both decoding helpers do around their own work: limit themselves, take the picture, shut
// themselves in, then answer the program's tasks on descriptors 0 and 1 until it closes them.

#include "wire/TaskServer.h"

#include <QByteArray>

#include <functional>
#include <memory>

namespace cropling {

// Runs a helper: `prepare` loads what the work will need from the file system before files are
// shut off; `serverFor` makes the service for the picture. Returns the exit status.
int runHelper(const std::function<void(const QByteArray&)>& prepare,
              const std::function<std::unique_ptr<TaskServer>(QByteArray picture)>& serverFor);

// The same for a helper that reads a file handed over on its own descriptor as it goes, however
// large, rather than whole beforehand: `serverFor` gets the descriptor (read with pread, which the
// filter allows) and nothing in `picture`, or the bytes and -1 for bytes handed over on the pipe.
// `prepare` gets the first bytes.
int runStreamingHelper(const std::function<void(const QByteArray&)>& prepare,
                       const std::function<std::unique_ptr<TaskServer>(QByteArray picture, int fd)>& serverFor);

} // namespace cropling
