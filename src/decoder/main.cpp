// The libvips decoding helper: any picture format the program opens, every task.

#include "decoder/HelperMain.h"
#include "image/helper/DecodeService.h"

#include <memory>

using namespace cropling;

int main() {
    return runHelper(prepareFor, [](QByteArray picture) -> std::unique_ptr<TaskServer> {
        return std::make_unique<DecodeService>(std::move(picture));
    });
}
