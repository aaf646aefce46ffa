#include "app/Application.h"
#include "image/DecoderSession.h"

#include <malloc.h>

int main(int argc, char** argv) {
    // Large temporaries (a frame converted for drawing, a decode's strip) go back to the system
    // when freed. Left to itself, malloc raises this threshold after the first such free and then
    // keeps them in its arenas, where the small blocks kept between them pin hundreds of megabytes.
    ::mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    cropling::DecoderSession::leaveVipsModulesToHelpers();
    return cropling::Application::run(argc, argv);
}
