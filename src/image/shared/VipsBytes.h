#pragma once

// Memory that libvips hands out (pixels written to memory, encoded files) is g_malloc'ed and must
// be g_free'd. This one owner takes it from every call that returns such memory.

#include <QByteArray>

#include <vips/vips8>

#include <cstddef>

namespace cropling {

class VipsBytes {
public:
    // The image's pixels, computed and packed row after row.
    static VipsBytes pixelsOf(const vips::VImage& image);
    // The image encoded in the format libvips picks for the suffix (".png", ".jpg", ...).
    static VipsBytes encode(const vips::VImage& image, const char* suffix, vips::VOption* options = nullptr);

    VipsBytes(VipsBytes&& other) noexcept : data_(other.data_), size_(other.size_) { other.data_ = nullptr; }
    VipsBytes(const VipsBytes&) = delete;
    VipsBytes& operator=(const VipsBytes&) = delete;
    VipsBytes& operator=(VipsBytes&&) = delete;
    ~VipsBytes() { g_free(data_); }

    const unsigned char* data() const { return static_cast<const unsigned char*>(data_); }
    std::size_t size() const { return size_; }
    QByteArray toByteArray() const { return QByteArray(static_cast<const char*>(data_), qsizetype(size_)); }
    // Hands the memory to a new owner, which must g_free it.
    void* release() {
        void* data = data_;
        data_ = nullptr;
        return data;
    }

private:
    VipsBytes(void* data, std::size_t size) : data_(data), size_(size) {}
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

inline VipsBytes VipsBytes::pixelsOf(const vips::VImage& image) {
    std::size_t size = 0;
    void* data = image.write_to_memory(&size);
    return {data, size};
}

inline VipsBytes VipsBytes::encode(const vips::VImage& image, const char* suffix, vips::VOption* options) {
    void* data = nullptr;
    std::size_t size = 0;
    image.write_to_buffer(suffix, &data, &size, options);
    return {data, size};
}

} // namespace cropling
