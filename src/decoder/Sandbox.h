#pragma once

// How the decoding helper shuts itself in before it reads a picture: limits the kernel enforces on
// memory, CPU time and files, and a system call filter that leaves it no way to open a file, reach
// the network or start a program. Whatever a decoder is made to do, it can only compute, use its
// memory and answer on the descriptors it was given.

namespace cropling::sandbox {

// The address space a decode may use, with room for the libraries already mapped.
inline constexpr long long kAddressSpaceBytes = 1LL << 30;
// CPU seconds summed over the decoder's threads; the program's wall-clock deadline comes first.
inline constexpr int kCpuSeconds = 40;

// No core files, no files written, the address space and CPU time above; dies with its parent.
bool limitResources();

// From here on opening, creating or removing files, sockets, and starting programs fail.
bool shutOff();

} // namespace cropling::sandbox
