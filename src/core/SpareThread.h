#pragma once

// Work that may run on a second core while the caller goes on: on a thread of its own when one can
// be had. Where none can (a process at its thread limit), the future is invalid and the caller does
// the work itself: a machine out of threads is slower, never failing.

#include <future>
#include <system_error>
#include <type_traits>
#include <utility>

namespace cropling {

template <typename Work>
std::future<std::invoke_result_t<std::decay_t<Work>>> onSpareThread(Work&& work) {
    try {
        return std::async(std::launch::async, std::forward<Work>(work));
    } catch (const std::system_error&) {
        return {};
    }
}

} // namespace cropling
