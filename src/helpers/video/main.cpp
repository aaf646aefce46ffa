// The video helper: a clip's frames, decoded with FFmpeg's libraries in a process shut in as the
// picture helpers are. It links neither libvips nor Qt's GUI module; pictures never reach it.

#include "helpers/common/HelperMain.h"
#include "helpers/video/ClipService.h"

extern "C" {
#include <libavutil/log.h>
}

#include <memory>

using namespace cropling;

int main() {
    // A clip is read from its file as the container asks: an hour of video is gigabytes.
    return runStreamingHelper(
        [](const QByteArray&) {
            // Standard error is /dev/null here; the library's messages would only cost time.
            av_log_set_level(AV_LOG_QUIET);
        },
        [](QByteArray clip, int fd) -> std::unique_ptr<TaskServer> {
            return std::make_unique<video::ClipService>(std::move(clip), fd);
        });
}
