#pragma once

// What the video helper does for the program: a clip's header (its upright size, length and frame
// interval, and the frames of its default span), its first frame as a still, the frames of a span
// at a working resolution with their timing, and the framed square of each, or of the first as a
// PNG. Every reply is one the program checks as it checks a picture helper's.

#include "wire/TaskServer.h"

#include <QByteArray>

#include <memory>

namespace cropling::video {

class ClipDecoder;

class ClipService final : public TaskServer {
public:
    // The clip's bytes, or the file open on `fd` (-1: none), read as it goes.
    explicit ClipService(QByteArray bytes, int fd = -1);
    ~ClipService() override;
    wire::ReplyHead serve(const wire::Request& request, std::string_view* payload) override;
    void sent() override { payload_ = QByteArray(); }

private:
    wire::ReplyHead frames(const wire::Request& request, wire::ReplyHead head, int orientation);
    wire::ReplyHead squares(const wire::Request& request, wire::ReplyHead head, int orientation);
    QByteArray bytes_;
    int fd_;
    bool opened_ = false;
    std::unique_ptr<ClipDecoder> decoder_;
    wire::Status failure_ = wire::Status::Damaged;
    VideoCodec refusedCodec_ = VideoCodec::Unknown;
    QByteArray payload_;
};

} // namespace cropling::video
