// What other programs put on the clipboard or drop: any bytes as a URI list, as GNOME's copied
// files, and as the keeper's hand-over. Reading them must give local file locations, a clipboard
// with a PNG, or nothing; never a crash.

#include "model/ClipboardData.h"
#include "model/PasteIntake.h"

#include <QMimeData>

#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    QMimeData offered;
    offered.setData(QStringLiteral("text/uri-list"), bytes);
    offered.setData(QStringLiteral("x-special/gnome-copied-files"), bytes);
    for (const QUrl& url : cropling::offeredFileUrls(&offered))
        if (!url.isLocalFile())
            __builtin_trap();
    if (const auto dropped = cropling::firstDroppedFile(&offered); dropped && !dropped->isLocalFile())
        __builtin_trap();
    std::unique_ptr<QMimeData> handedOver(cropling::deserialiseClipboardData(bytes));
    if (handedOver && handedOver->data(QStringLiteral("image/png")).isEmpty())
        __builtin_trap();
    return 0;
}
