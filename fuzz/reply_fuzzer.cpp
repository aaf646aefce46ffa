// What the decoding helper sends back is checked before the program believes any of it: an
// accepted head announces exactly the payload its task allows, within the fixed bounds, whatever
// a compromised helper writes. The first two bytes pick the task and the size asked for.

#include "wire/DecoderWire.h"

#include <QByteArray>

#include <cstdint>

using namespace cropling::wire;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const auto task = Task(1 + data[0] % 4);
    const int side = 1 + data[1] * 4;
    const QByteArray head(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));
    const auto checked = checkedHead(head, task, side);
    if (!checked)
        return 0;
    if (checked->status != Status::Ok)
        return checked->payloadBytes == 0 ? 0 : (__builtin_trap(), 0);
    const std::uint64_t bound = task == Task::Render ? std::uint64_t(kMaxReplyPng)
                                                     : std::uint64_t(kMaxReplyPixels) * 4;
    if (checked->payloadBytes > bound || checked->fullWidth < 1 || checked->fullHeight < 1)
        __builtin_trap();
    if ((task == Task::Decode || task == Task::Preview) &&
        checked->payloadBytes != std::uint64_t(checked->width) * std::uint64_t(checked->height) * std::uint64_t(checked->bands))
        __builtin_trap();
    return 0;
}
