#pragma once

// The decoding helper's side of the conversation: one task done in this process on the picture's
// bytes, answered as a reply head and its payload. Only the helper calls this.

#include "wire/TaskServer.h"

#include <QByteArray>

#include <memory>

namespace cropling {

class Picture;

// What follows a reply's head: the bytes of a PNG or of frames, or a decoded bitmap's own memory (a
// large bitmap is sent from where it lies, never copied).
struct Payload {
    QByteArray bytes; // a PNG, or frames with their delays
    std::shared_ptr<const Picture> picture;
    const char* data() const;
    size_t size() const;
};

// One picture's tasks: its header is read (and the preflight run) once, for every task.
class DecodeService final : public TaskServer {
public:
    explicit DecodeService(QByteArray encoded);
    ~DecodeService() override;
    wire::ReplyHead serve(const wire::Request& request, std::string_view* payload) override;
    // Does the task on the picture and fills `payload` with what follows the head.
    wire::ReplyHead serve(const wire::Request& request, Payload* payload);
    void sent() override;

private:
    struct Header;
    const Header& header();
    QByteArray encoded_;
    std::unique_ptr<Header> header_;
    Payload payload_;
};

// Loads what a decode of these bytes will need from the file system (libvips and its modules, Qt's
// image plugins, fonts for a drawing), so that nothing is opened once the helper has shut itself
// off from files.
void prepareFor(const QByteArray& encoded);

} // namespace cropling
