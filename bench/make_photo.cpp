// Writes a camera-like test JPEG: make_photo MEGAPIXELS OUT.jpg

#include "BenchPhotos.h"

#include <QFile>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: make_photo MEGAPIXELS OUT.jpg\n");
        return 2;
    }
    QFile out(QFile::decodeName(argv[2]));
    if (!out.open(QIODevice::WriteOnly) || out.write(cropling::bench::photoJpeg(std::atoi(argv[1]))) < 0) {
        std::fprintf(stderr, "make_photo: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
