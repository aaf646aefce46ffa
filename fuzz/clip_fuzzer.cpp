// Any bytes handed to the video helper as a clip: its header, its first frame as a still, and the
// squares of a few frames of a span. Every answer is a refusal or a reply whose sizes agree with
// what it carries, and nothing crashes.

#include "wire/DecoderWire.h"
#include "helpers/video/ClipService.h"

#include <QByteArray>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cropling;
    video::ClipService service(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    wire::Request request;
    request.task = wire::Task::Header;
    std::string_view payload;
    if (service.serve(request, &payload).status != wire::Status::Ok)
        return 0;
    request.task = wire::Task::Decode;
    request.side = 32;
    wire::ReplyHead head = service.serve(request, &payload);
    if (head.status == wire::Status::Ok &&
        (head.bands != 4 || payload.size() != size_t(head.width) * size_t(head.height) * 4 || head.payloadBytes != payload.size()))
        __builtin_trap();
    service.sent();
    request.task = wire::Task::RenderFrames;
    request.side = 16;
    request.clipStartMs = 0;
    request.clipStepMs = 40;
    request.clipDelayMs = 40;
    request.clipFrames = 3;
    head = service.serve(request, &payload);
    if (head.status == wire::Status::Ok &&
        (head.frames < 1 || head.frames > 3 || payload.size() != size_t(head.frames) * (4 + 16 * 16 * 4)))
        __builtin_trap();
    return 0;
}
