#include "PictureFixtures.h"

#include "image/EmojiRenderer.h"
#include "image/Formats.h"
#include "image/Picture.h"
#include "image/shared/VipsRuntime.h"

#include <QBuffer>
#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace cropling;
using namespace cropling::test;
using vips::VImage;

namespace {

VImage sample() {
    return makeImage(96, 64, 3, [](int x, int y, int b) { return b == 0 ? x * 2 : b == 1 ? y * 3 : 120; });
}

QByteArray throughQt(const char* format) {
    QImage image(96, 64, QImage::Format_RGB32);
    image.fill(QColor(200, 60, 30));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray svg(const QByteArray& body, int side = 100) {
    const QByteArray size = QByteArray::number(side);
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"" + size +
           "\" height=\"" + size + "\"><rect width=\"" + size + "\" height=\"" + size + "\" fill=\"white\"/>" + body +
           "</svg>";
}

// The middle of a render of the whole picture.
std::vector<int> middleOf(const QByteArray& file) {
    const auto picture = Picture::decode(file, 384);
    if (!picture)
        return {};
    const Rgba png = decodePng(*renderEmojiPNG(picture.get(), {1, {0, 0}}, 128));
    return {png.at(64, 64, 0), png.at(64, 64, 1), png.at(64, 64, 2)};
}

} // namespace

TEST(Formats, EveryOfferedTypeOpens) {
    // The program never writes these; the test does, to have samples.
    ensureVipsStarted();
    vips_operation_block_set("VipsForeignSaveJxl", FALSE);
    vips_operation_block_set("VipsForeignSaveJp2k", FALSE);
    const std::map<QString, std::function<QByteArray()>> samples = {
        {"image/png", [] { return encode(sample(), ".png"); }},
        {"image/jpeg", [] { return encode(sample(), ".jpg"); }},
        {"image/webp", [] { return encode(sample(), ".webp"); }},
        {"image/gif", [] { return encode(sample(), ".gif"); }},
        {"image/tiff", [] { return encode(sample(), ".tif"); }},
        {"image/heif", [] { return encode(sample(), ".heic"); }},
        {"image/heic", [] { return encode(sample(), ".heic"); }},
        {"image/avif", [] { return encode(sample(), ".avif"); }},
        {"image/jxl", [] { return encode(sample(), ".jxl"); }},
        {"image/svg+xml", [] { return svg("<circle cx=\"50\" cy=\"50\" r=\"30\" fill=\"blue\"/>"); }},
        {"image/bmp", [] { return throughQt("BMP"); }},
        {"image/vnd.microsoft.icon", [] { return throughQt("ICO"); }},
        {"image/x-portable-anymap", [] { return throughQt("PPM"); }},
        {"image/x-portable-bitmap", [] { return throughQt("PBM"); }},
        {"image/x-portable-graymap", [] { return throughQt("PGM"); }},
        {"image/x-portable-pixmap", [] { return throughQt("PPM"); }},
    };
    for (const QString& type : openableMimeTypes()) {
        const auto made = samples.find(type);
        ASSERT_NE(made, samples.end()) << "no sample for " << type.toStdString();
        const QByteArray file = made->second();
        ASSERT_FALSE(file.isEmpty()) << type.toStdString();
        const auto picture = Picture::decode(file);
        ASSERT_TRUE(picture) << type.toStdString();
        EXPECT_TRUE(renderEmojiPNG(picture.get(), {1, {0, 0}}, 128)) << type.toStdString();
    }
    EXPECT_FALSE(Picture::decode(encode(sample(), ".jp2")));
}

TEST(Formats, TheDesktopEntryOffersExactlyWhatOpens) {
    QFile entry(QStringLiteral(CROPLING_SOURCE_DIR "/packaging/org.cropling.Cropling.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    QStringList offered;
    for (const QByteArray& line : entry.readAll().split('\n'))
        if (line.startsWith("MimeType="))
            offered = QString::fromUtf8(line.mid(9)).split(u';', Qt::SkipEmptyParts);
    EXPECT_EQ(offered, openableMimeTypes() + openableClipTypes());
}

TEST(Formats, AnSvgReadsNothingButItself) {
    const QByteArray red = writeTempFile("red.png", encode(makeImage(8, 8, 3, [](int, int, int b) { return b ? 0 : 255; }), ".png"));
    const QByteArray fifo = tempFolder() + "/fifo.png";
    ::mkfifo(fifo.constData(), 0600);
    const std::vector<int> white{255, 255, 255};
    for (const QByteArray& reference : {"file://" + red, red, QByteArray("red.png"), "file://" + fifo,
                                        QByteArray("file:///dev/zero"), QByteArray("http://127.0.0.1:9/x.png")}) {
        const QByteArray image = "<image href=\"" + reference + "\" xlink:href=\"" + reference + "\" width=\"100\" height=\"100\"/>";
        EXPECT_EQ(middleOf(svg(image)), white) << reference.constData();
    }
    ::unlink(fifo.constData());

    // An entity that expands a billion times and a canvas of 60000 x 60000 are refused.
    QByteArray entities = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">";
    for (char e = 'b'; e <= 'h'; ++e)
        entities += QByteArray("<!ENTITY ") + e + " \"" + QByteArray("&") + char(e - 1) + ";" + QByteArray("&") + char(e - 1) + ";" +
                    QByteArray("&") + char(e - 1) + ";" + QByteArray("&") + char(e - 1) + ";" + QByteArray("&") + char(e - 1) +
                    ";" + QByteArray("&") + char(e - 1) + ";" + QByteArray("&") + char(e - 1) + ";" + QByteArray("&") +
                    char(e - 1) + ";" + QByteArray("&") + char(e - 1) + ";" + QByteArray("&") + char(e - 1) + ";\">";
    EXPECT_TRUE(middleOf(entities + "]>" + svg("<text y=\"50\">&h;</text>")).empty());
    EXPECT_FALSE(Picture::decode(svg("", 60000)));
}
