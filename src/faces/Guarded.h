#pragma once

// The module's entry points run their work through this, so that no C++ exception crosses into the
// program, which knows none of this module's: OpenCV's errors come back as their message, anything
// else (memory running out) as a word.

#include <opencv2/core.hpp>

#include <cstdio>

template <typename Work>
int guarded(char* error, int errorSize, Work&& work) {
    try {
        return work();
    } catch (const cv::Exception& e) {
        std::snprintf(error, size_t(errorSize), "%s", e.what());
    } catch (...) {
        std::snprintf(error, size_t(errorSize), "%s", "out of memory");
    }
    return -1;
}
