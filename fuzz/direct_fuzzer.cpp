// Any bytes handed to the direct helper's decoders, as a saved file would be, then rendered at a
// zoom and offset taken from the first bytes (the decode corpus's prefix): every answer is a
// refusal or a PNG of the size asked for, and nothing crashes.

#include "helpers/direct/DirectService.h"

#include <QByteArray>

#include <cstdint>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    using namespace cropling;
    wire::Request request;
    request.task = wire::Task::Header;
    direct::DirectService service(QByteArray(reinterpret_cast<const char*>(data + 4), qsizetype(size - 4)));
    QByteArray payload;
    if (service.serve(request, &payload).status != wire::Status::Ok)
        return 0;
    request.task = wire::Task::Render;
    request.side = 16 + data[3] % 128;
    request.zoom = 0.5 + data[0] / 50.0;
    request.offsetX = int8_t(data[1]) * 1.6;
    request.offsetY = int8_t(data[2]) * 1.6;
    const wire::ReplyHead head = service.serve(request, &payload);
    if (head.status == wire::Status::Ok &&
        (!wire::isPngOfSide(payload, request.side) || head.payloadBytes != std::uint64_t(payload.size())))
        __builtin_trap();
    return 0;
}
