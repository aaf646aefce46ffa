// The direct decoding helper: the render of a JPEG, PNG or WebP, decoded by the format's own
// library. It links neither libvips nor Qt's GUI module, so it starts in a few milliseconds; what
// it declines, the program asks of the libvips helper.

#include "decoder/HelperMain.h"
#include "direct/DirectService.h"

#include <memory>

using namespace cropling;

int main() {
    return runHelper([](const QByteArray&) {}, [](QByteArray picture) -> TaskServer {
        auto service = std::make_shared<direct::DirectService>(std::move(picture));
        auto payload = std::make_shared<QByteArray>();
        return [service, payload](const wire::Request& request, std::string_view* bytes) {
            const wire::ReplyHead head = service->serve(request, payload.get());
            *bytes = std::string_view(payload->constData(), size_t(payload->size()));
            return head;
        };
    });
}
