// The libvips decoding helper: any picture format the program opens, every task.

#include "helpers/common/HelperMain.h"
#include "helpers/vips/DecodeService.h"

#include <memory>

using namespace cropling;

int main() {
    return runHelper(prepareFor, [](QByteArray picture) -> std::unique_ptr<TaskServer> {
        return std::make_unique<DecodeService>(std::move(picture));
    });
}
