#pragma once

// Moving bytes through a pipe to or from a process that may stop reading or writing at any time:
// the program's transfers end by a deadline, measured on a clock that the caller started.

#include <QElapsedTimer>

#include <cstddef>

namespace cropling {

enum class PipeEnd { Done, Closed, Late };

// Reads exactly `size` bytes before the deadline.
PipeEnd readBefore(int fd, char* data, size_t size, const QElapsedTimer& clock, qint64 deadlineMs);

// Writes everything before the deadline, or gives up: a process that stops reading is not waited
// on. The descriptor is best non-blocking, so that one write never waits past the deadline.
bool writeBefore(int fd, const char* data, size_t size, const QElapsedTimer& clock, qint64 deadlineMs);

// Reads or writes exactly `size` bytes, waiting as long as it takes: the helper's side, whose
// deadline is the program's.
bool readExactly(int fd, void* data, size_t size);
bool writeExactly(int fd, const void* data, size_t size);

} // namespace cropling
