#include "Resample.h"

#include <cstring>

#include <QRunnable>
#include <QSemaphore>
#include <QThreadPool>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>

namespace cropling {

namespace {

double lanczos3(double x) {
    x = std::abs(x);
    if (x >= 3)
        return 0;
    if (x < 1e-12)
        return 1;
    const double px = M_PI * x;
    return 3 * std::sin(px) * std::sin(px / 3) / (px * px);
}

// The input pixels and weights that make one output pixel along one axis.
struct Taps {
    std::vector<int> index;
    std::vector<float> weight;
};

// The kernel is stretched by the reduction factor (never shrunk below its own width when
// enlarging) and its weights normalised; taps past the pixels' edge fold onto the edge pixel.
std::vector<Taps> tapsFor(double start, double length, int outLength, int firstPixel, int pixelCount) {
    const double ratio = length / outLength;
    const double stretch = std::max(1.0, ratio);
    std::vector<Taps> all(static_cast<size_t>(outLength));
    for (int o = 0; o < outLength; ++o) {
        const double centre = start + (o + 0.5) * ratio; // pixel j covers [j, j + 1)
        const int lo = int(std::floor(centre - 3 * stretch - 0.5));
        const int hi = int(std::ceil(centre + 3 * stretch - 0.5));
        Taps& taps = all[size_t(o)];
        double total = 0;
        for (int j = lo; j <= hi; ++j) {
            const double w = lanczos3((j + 0.5 - centre) / stretch);
            if (w == 0)
                continue;
            const int at = std::clamp(j, firstPixel, firstPixel + pixelCount - 1) - firstPixel;
            if (!taps.index.empty() && taps.index.back() == at) {
                taps.weight.back() += float(w);
            } else {
                taps.index.push_back(at);
                taps.weight.push_back(float(w));
            }
            total += w;
        }
        for (float& w : taps.weight)
            w = float(w / total);
    }
    return all;
}

// The threads every render of the process shares: renders running at once (a batch, or frames)
// queue their slices here rather than each starting threads of its own.
QThreadPool& slicePool() {
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(std::max(1, resamplerThreads() - 1)); // the caller works too
        made->setExpiryTimeout(-1);
        return made;
    }();
    return *pool;
}

// Runs body(first, last) over [0, count) in a few slices: one on the calling thread, the others on
// the shared pool. Slices no pool thread has started yet are taken back and run here, so a caller
// never waits on work queued behind other renders.
template <typename Body>
void inSlices(int count, const Body& body) {
    const int slices = std::min(resamplerThreads(), std::max(1, count / 64));
    if (slices == 1)
        return body(0, count);
    QThreadPool& pool = slicePool();
    QSemaphore done;
    std::vector<std::unique_ptr<QRunnable>> tasks;
    for (int i = 1; i < slices; ++i) {
        tasks.emplace_back(QRunnable::create([&, i] {
            body(count * i / slices, count * (i + 1) / slices);
            done.release();
        }));
        tasks.back()->setAutoDelete(false);
        pool.start(tasks.back().get());
    }
    body(0, count / slices);
    for (const auto& task : tasks) {
        if (pool.tryTake(task.get()))
            task->run();
    }
    done.acquire(slices - 1);
}

// One row along its length: as float, premultiplied by its alpha, then through the taps. The band
// count is fixed at compile time, so the inner loops unroll.
template <size_t Bands>
void filterRow(const std::uint8_t* in, const std::vector<Taps>& across, std::vector<float>* line, float* out) {
    for (size_t i = 0; i < line->size(); i += Bands) {
        const float a = Bands == 4 ? in[i + 3] / 255.0f : 1.0f;
        for (size_t b = 0; b < Bands; ++b)
            (*line)[i + b] = b == 3 ? float(in[i + b]) : in[i + b] * a;
    }
    for (size_t o = 0; o < across.size(); ++o) {
        const Taps& taps = across[o];
        float acc[Bands] = {};
        for (size_t t = 0; t < taps.index.size(); ++t) {
            const float* p = line->data() + size_t(taps.index[t]) * Bands;
            for (size_t b = 0; b < Bands; ++b)
                acc[b] += taps.weight[t] * p[b];
        }
        std::copy(acc, acc + Bands, out + o * Bands);
    }
}

std::uint8_t toByte(float value) { return std::uint8_t(std::clamp(std::nearbyint(value), 0.0f, 255.0f)); }

} // namespace

int resamplerThreads() {
    static const int threads = [] {
        const int asked = qEnvironmentVariableIntValue("CROPLING_THREADS");
        return std::clamp(asked > 0 ? asked : int(std::thread::hardware_concurrency()), 1, 16);
    }();
    return threads;
}

QRectF scaledRect(const QRect& rect, QSize full, QSize reduced) {
    const double fx = double(reduced.width()) / full.width();
    const double fy = double(reduced.height()) / full.height();
    return QRectF(rect.x() * fx, rect.y() * fy, rect.width() * fx, rect.height() * fy);
}

QRect windowPixels(const QRectF& window, QSize pictureSize) {
    const int x0 = std::clamp(int(std::floor(window.left() + 1e-9)), 0, pictureSize.width() - 1);
    const int y0 = std::clamp(int(std::floor(window.top() + 1e-9)), 0, pictureSize.height() - 1);
    const int x1 = std::clamp(int(std::ceil(window.right() - 1e-9)), x0 + 1, pictureSize.width());
    const int y1 = std::clamp(int(std::ceil(window.bottom() - 1e-9)), y0 + 1, pictureSize.height());
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

PixelRows resampleWindow(const PixelView& pixels, QPoint at, const QRectF& window, int outWidth, int outHeight) {
    const int bands = pixels.bands;
    const bool alpha = bands == 4;
    const int w = pixels.width, h = pixels.height;
    const auto across = tapsFor(window.left(), window.width(), outWidth, at.x(), w);
    const auto down = tapsFor(window.top(), window.height(), outHeight, at.y(), h);
    const size_t stride = size_t(bands);

    // Along rows first, into outWidth x h.
    std::vector<float> rows(size_t(outWidth) * size_t(h) * stride);
    inSlices(h, [&](int first, int last) {
        std::vector<float> line(size_t(w) * stride);
        for (int y = first; y < last; ++y) {
            float* out = rows.data() + size_t(y) * size_t(outWidth) * stride;
            if (alpha)
                filterRow<4>(pixels.row(y), across, &line, out);
            else
                filterRow<3>(pixels.row(y), across, &line, out);
        }
    });

    // Then down the columns, into outWidth x outHeight, and back to 8 bits: alpha undone (a pixel
    // with none has no colour), rounded to the nearest level, clipped to the range.
    PixelRows result{outWidth, outHeight, bands, std::vector<std::uint8_t>(size_t(outWidth) * size_t(outHeight) * stride)};
    const size_t rowLength = size_t(outWidth) * stride;
    std::vector<float> out(rowLength);
    for (int o = 0; o < outHeight; ++o) {
        std::fill(out.begin(), out.end(), 0.0f);
        const Taps& taps = down[size_t(o)];
        for (size_t t = 0; t < taps.index.size(); ++t) {
            const float* in = rows.data() + size_t(taps.index[t]) * rowLength;
            const float weight = taps.weight[t];
            for (size_t i = 0; i < rowLength; ++i)
                out[i] += weight * in[i];
        }
        std::uint8_t* target = result.row(o);
        for (size_t i = 0; i < rowLength; i += stride) {
            float factor = 1.0f;
            if (alpha) {
                // Divided by the alpha the filter gave, overshoot and all, so an opaque edge keeps
                // its colour; only the stored alpha is clipped.
                const float a = out[i + 3];
                factor = a > 0 ? 255.0f / a : 0.0f;
                target[i + 3] = toByte(a);
            }
            for (size_t b = 0; b < std::min<size_t>(stride, 3); ++b)
                target[i + b] = toByte(out[i + b] * factor);
        }
    }
    return result;
}

PixelRows placedOnCanvas(const PixelRows& picture, const QRect& place, int n) {
    PixelRows canvas{n, n, 4, std::vector<std::uint8_t>(size_t(n) * size_t(n) * 4)};
    for (int y = 0; y < picture.height; ++y) {
        const std::uint8_t* in = picture.row(y);
        std::uint8_t* out = canvas.row(place.y() + y) + size_t(place.x()) * 4;
        for (int x = 0; x < picture.width; ++x, in += picture.bands, out += 4) {
            std::memcpy(out, in, 3);
            out[3] = picture.bands == 4 ? in[3] : 255;
        }
    }
    return canvas;
}

} // namespace cropling
