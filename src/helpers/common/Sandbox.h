#pragma once

// How a decoding helper shuts itself in before it reads a picture: limits the kernel enforces on
// memory, CPU time and files; namespaces of its own (no network, no other process, an empty file
// system); and a system call filter that allows what decoding needs and nothing else. Whatever a
// decoder is made to do, it can only compute, use its memory and answer on the descriptors it was
// given.

namespace cropling::sandbox {

// The address space a decode may use, with room for the libraries already mapped.
inline constexpr long long kAddressSpaceBytes = 1LL << 30;
// CPU seconds summed over the decoder's threads; the program's wall-clock deadline comes first.
inline constexpr int kCpuSeconds = 40;

// The private memory (the kernel's data limit, heap and thread stacks alike) the program admitted
// this helper with.
long long admittedMemory();

// No core files, no files written, the address space and CPU time above, the private memory
// admitted; dies with its parent.
bool limitResources();

// Moves into user, mount, network, IPC and PID namespaces of its own. Must run while the process
// has one thread. The process that called it only waits from then on and passes on how the
// helper ended; the helper goes on in a child, the first process of its PID namespace. False
// where the system refuses unprivileged namespaces: the helper then goes on with its filter alone.
bool enterNamespaces();

// Once everything has been loaded from disk: an empty, read-only root in place of the file system,
// and no capabilities left in the helper's own namespace. Only after enterNamespaces() succeeded.
bool leaveFileSystem();

} // namespace cropling::sandbox
