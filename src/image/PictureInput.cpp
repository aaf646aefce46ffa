#include "PictureInput.h"

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace cropling {

namespace {

void closeFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

PictureInput PictureInput::file(int fd) {
    PictureInput input;
    input.fd_ = fd;
    return input;
}

PictureInput PictureInput::bytes(QByteArray bytes) {
    PictureInput input;
    input.bytes_ = std::move(bytes);
    return input;
}

PictureInput PictureInput::failed(OpenFailure why) {
    PictureInput input;
    input.why_ = why;
    return input;
}

PictureInput::PictureInput(PictureInput&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), bytes_(std::move(other.bytes_)), why_(other.why_) {}

PictureInput& PictureInput::operator=(PictureInput&& other) noexcept {
    if (this != &other) {
        closeFd(fd_);
        fd_ = std::exchange(other.fd_, -1);
        bytes_ = std::move(other.bytes_);
        why_ = other.why_;
    }
    return *this;
}

PictureInput::~PictureInput() { closeFd(fd_); }

PictureInput PictureInput::again() const {
    if (why_)
        return failed(*why_);
    if (fd_ < 0)
        return bytes(bytes_);
    // The copy shares the file's offset with the original; helpers read from the start whatever it is.
    const int copy = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    return copy >= 0 ? file(copy) : failed(OpenFailure::NotReadable);
}

QByteArray PictureInput::head(qsizetype bytes) const {
    if (fd_ < 0)
        return bytes_.left(bytes);
    QByteArray head(bytes, Qt::Uninitialized);
    const ssize_t n = ::pread(fd_, head.data(), size_t(head.size()), 0);
    head.truncate(n > 0 ? n : 0);
    return head;
}

} // namespace cropling
