#pragma once

// The direct helper's side of the conversation: the tasks of a render (the header, then the framed
// square) and a first look on a JPEG, PNG or WebP, without libvips. Every other picture and task
// is declined, and the program asks the libvips helper instead.

#include "wire/TaskServer.h"

#include <QByteArray>

#include <memory>

namespace cropling::direct {

class SourceDecoder;

class DirectService final : public TaskServer {
public:
    explicit DirectService(QByteArray encoded);
    ~DirectService() override;
    wire::ReplyHead serve(const wire::Request& request, std::string_view* payload) override;
    // Does the task and fills `payload` with what follows the head.
    wire::ReplyHead serve(const wire::Request& request, QByteArray* payload);

private:
    wire::ReplyHead preview(int side, int orientation, wire::ReplyHead head, QByteArray* payload);
    QByteArray encoded_;
    std::unique_ptr<SourceDecoder> decoder_;
    std::optional<OpenFailure> failure_;
    bool opened_ = false;
    bool convertProfile_ = false;
    QByteArray payload_;
};

} // namespace cropling::direct
