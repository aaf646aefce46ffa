#pragma once

// What both decoding helpers do around their own work: limit themselves, take the picture, shut
// themselves in, then answer the program's tasks on descriptors 0 and 1 until it closes them.

#include "image/DecoderWire.h"

#include <QByteArray>

#include <functional>
#include <string_view>

namespace cropling {

// One task's answer: the head, and the payload bytes that follow it (valid until the next task).
using TaskServer = std::function<wire::ReplyHead(const wire::Request&, std::string_view* payload)>;

// Runs a helper: `prepare` loads what the work will need from the file system before files are
// shut off; `serverFor` makes the server for the picture. Returns the exit status.
int runHelper(const std::function<void(const QByteArray&)>& prepare,
              const std::function<TaskServer(QByteArray picture)>& serverFor);

} // namespace cropling
