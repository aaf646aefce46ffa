#pragma once

// Whether an allocation was refused since the last look: the helper's share of memory ran out.
// Decoders turn a refused allocation into all sorts of errors ("unable to decode", a thread that
// could not start); looked at after a task, it tells running out of memory from a damaged file.

namespace cropling::sandbox {

// True once an allocation failed since the last call, which clears it.
bool takeRefusedMemory();
// Whether one has failed, leaving it as it is (for a signal handler).
bool refusedMemory();

} // namespace cropling::sandbox
