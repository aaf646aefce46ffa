// The direct decoding helper: the render of a JPEG, PNG or WebP, decoded by the format's own
// library. It links neither libvips nor Qt's GUI module, so it starts in a few milliseconds; what
// it declines, the program asks of the libvips helper.

#include "helpers/common/HelperMain.h"
#include "helpers/direct/DirectService.h"

#include <memory>

using namespace cropling;

int main() {
    return runHelper([](const QByteArray&) {}, [](QByteArray picture) -> std::unique_ptr<TaskServer> {
        return std::make_unique<direct::DirectService>(std::move(picture));
    });
}
