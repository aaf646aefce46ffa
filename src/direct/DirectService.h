#pragma once

// The direct helper's side of the conversation: the tasks of a render (the header, then the framed
// square) on a JPEG, PNG or WebP, without libvips. Every other picture and task is declined, and
// the program asks the libvips helper instead.

#include "image/DecoderWire.h"

#include <QByteArray>

#include <memory>

namespace cropling::direct {

class SourceDecoder;

class DirectService {
public:
    explicit DirectService(QByteArray encoded);
    ~DirectService();
    // Does the task and fills `payload` with what follows the head.
    wire::ReplyHead serve(const wire::Request& request, QByteArray* payload);

private:
    QByteArray encoded_;
    std::unique_ptr<SourceDecoder> decoder_;
    std::optional<OpenFailure> failure_;
    bool opened_ = false;
    bool convertProfile_ = false;
};

} // namespace cropling::direct
