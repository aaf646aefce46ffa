#pragma once

// The system calls a decoding helper may make once it has its picture: an allowlist. Anything not
// on it fails with EPERM; what only an attack would try (starting programs, reaching into other
// processes, signalling them, new namespaces, the kernel's asynchronous and BPF interfaces) ends
// the helper at once. The filter covers every thread, including those libraries started earlier.

namespace cropling::sandbox {

// Reading and writing the descriptors it holds, memory that is never executable, threads, time,
// randomness, and signals to itself.
bool allowDecodingOnly();

// For the process that only waits for the helper and ends as it ended; it may still hear on `armed`
// that the helper dies with it, and tell it on `go` that it is confined.
bool allowWaitingOnly(int armed, int go);

} // namespace cropling::sandbox
