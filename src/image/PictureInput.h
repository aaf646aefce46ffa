#pragma once

#include "core/OpenFailure.h"

#include <QByteArray>

#include <optional>

namespace cropling {

// A picture as a helper takes it: an open regular file, which only the helper reads, or bytes
// already in memory (pasted data); or why there is none. Owns the descriptor.
class PictureInput {
public:
    PictureInput() = default;
    static PictureInput file(int fd);
    static PictureInput bytes(QByteArray bytes);
    static PictureInput failed(OpenFailure why);
    PictureInput(PictureInput&& other) noexcept;
    PictureInput& operator=(PictureInput&& other) noexcept;
    ~PictureInput();

    int fd() const { return fd_; }
    const QByteArray& data() const { return bytes_; }
    std::optional<OpenFailure> why() const { return why_; }
    bool isValid() const { return fd_ >= 0 || !bytes_.isEmpty(); }
    // Another input of the same picture, for another helper: the same file, or the same bytes.
    PictureInput again() const;
    // The first bytes, which say the format: read from the file without moving its offset.
    QByteArray head(qsizetype bytes) const;

private:
    int fd_ = -1;
    QByteArray bytes_;
    std::optional<OpenFailure> why_;
};

} // namespace cropling
