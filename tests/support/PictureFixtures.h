#pragma once

// Pictures made in memory for tests: each awkward input gets its own small generator.

#include "image/Picture.h"

#include <QByteArray>
#include <QString>

#include <vips/vips8>

#include <functional>
#include <memory>
#include <vector>

namespace cropling::test {

// An 8-bit picture of the given bands whose pixels come from a function of (x, y, band).
vips::VImage makeImage(int width, int height, int bands, const std::function<int(int, int, int)>& value);

std::shared_ptr<const Picture> makePicture(const vips::VImage& image);

// Encodes an image in the format vips picks for the suffix (".png", ".jpg", ...).
QByteArray encode(const vips::VImage& image, const char* suffix, vips::VOption* options = nullptr);

// A decoded RGBA8 view of PNG bytes (4 bands always; asserts on failure).
struct Rgba {
    int width = 0;
    int height = 0;
    int bands = 0;
    std::vector<unsigned char> data;
    int at(int x, int y, int band) const { return data[size_t((y * width + x) * bands + band)]; }
};
Rgba decodePng(const QByteArray& png);
// Peak signal to noise of two renders of one size, over every channel, in decibels.
double psnr(const QByteArray& a, const QByteArray& b);
// A camera-like photo: smooth gradients under fine noise, as a sensor gives.
vips::VImage cameraLike(int width, int height);

// The whole file, or nothing when it cannot be read.
QByteArray readFile(const QByteArray& path);

// Writes bytes to a file in a fresh temporary folder that lives as long as the process.
QByteArray writeTempFile(const QByteArray& name, const QByteArray& bytes);
QByteArray tempFolder();
// A small PNG picture under the given file name in the temporary folder.
QByteArray writePictureFile(const QByteArray& name);

} // namespace cropling::test
