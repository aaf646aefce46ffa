#pragma once

// A reply of the decoding helper as a session holds it: the checked head and the payload it
// announced, and what else the files of DecoderSession share.

#include "image/DecoderSession.h"
#include "wire/DecoderWire.h"

#include "core/CropGeometry.h"
#include <QPointF>

#include <unistd.h>

#include <cstdlib>
#include <utility>

namespace cropling {

// Closes a descriptor that may be open, and marks it closed.
inline void closeDescriptor(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

struct DecoderSession::Reply {
    wire::ReplyHead head;
    void* payload = nullptr; // malloc'd; whoever takes it frees it
    ~Reply() { std::free(payload); }
    Reply() = default;
    Reply(Reply&& other) noexcept : head(other.head), payload(std::exchange(other.payload, nullptr)) {}
    Reply& operator=(Reply&& other) noexcept {
        head = other.head;
        std::free(std::exchange(payload, std::exchange(other.payload, nullptr)));
        return *this;
    }
};

// A request for the framed square, n x n, of the picture or of each of its frames.
inline wire::Request squareRequest(wire::Task task, const Framing& framing, int side, int turn) {
    wire::Request request;
    request.task = task;
    request.turn = turn;
    request.side = side;
    request.zoom = framing.zoom;
    request.offsetX = framing.offset.x();
    request.offsetY = framing.offset.y();
    return request;
}

} // namespace cropling
