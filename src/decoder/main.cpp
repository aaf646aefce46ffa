// The libvips decoding helper: any picture format the program opens, every task.

#include "decoder/HelperMain.h"
#include "image/DecodeService.h"

#include <memory>

using namespace cropling;

int main() {
    return runHelper(prepareFor, [](QByteArray picture) -> TaskServer {
        auto service = std::make_shared<DecodeService>(std::move(picture));
        auto payload = std::make_shared<Payload>();
        return [service, payload](const wire::Request& request, std::string_view* bytes) {
            const wire::ReplyHead head = service->serve(request, payload.get());
            *bytes = std::string_view(payload->data(), payload->size());
            return head;
        };
    });
}
