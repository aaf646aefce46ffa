#pragma once

// What a decoding helper's service does for the program, whichever helper it is: each task gets
// its reply's head, and the bytes that follow the head (valid until the next task). The services of
// the libvips, direct and video helpers implement it; the loop around them (helpers/common/
// HelperMain) knows nothing else of them.

#include "wire/DecoderWire.h"

#include <string_view>

namespace cropling {

class TaskServer {
public:
    virtual ~TaskServer() = default;
    virtual wire::ReplyHead serve(const wire::Request& request, std::string_view* payload) = 0;
    // Once the bytes have been sent: the program holds them now, and a second copy here would
    // count twice against the memory the program and its helper use together.
    virtual void sent() {}
};

} // namespace cropling
