#include "BackgroundRemoval.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>

namespace cropling {

namespace {

struct Model {
    double plane[9] = {};
    double colourAt(int c, double x, double y) const { return plane[c] + plane[3 + c] * x + plane[6 + c] * y; }
};

// The plane through the samples (x, y, colour) that fits them best, channel by channel.
bool fitPlane(const std::vector<std::array<double, 5>>& samples, Model* model) {
    double m[3][3] = {}, r[3][3] = {};
    for (const auto& s : samples) {
        const double v[3] = {1, s[0], s[1]};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                m[i][j] += v[i] * v[j];
            for (int c = 0; c < 3; ++c)
                r[c][i] += v[i] * s[size_t(2 + c)];
        }
    }
    // Cramer's rule on the 3 x 3 normal equations.
    const auto det = [](const double a[3][3]) {
        return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
               a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
    };
    const double d = det(m);
    if (std::abs(d) < 1e-9)
        return false;
    for (int c = 0; c < 3; ++c) {
        for (int k = 0; k < 3; ++k) {
            double a[3][3];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    a[i][j] = j == k ? r[c][i] : m[i][j];
            model->plane[3 * k + c] = det(a) / d;
        }
    }
    return true;
}

// Labels the 4-connected regions of `member` pixels; for each, calls `region` with its pixels.
template <typename Member, typename Region>
void regions(int w, int h, Member member, Region region) {
    std::vector<bool> seen(size_t(w) * size_t(h));
    std::vector<int> pixels;
    std::deque<int> queue;
    for (int start = 0; start < w * h; ++start) {
        if (seen[size_t(start)] || !member(start))
            continue;
        pixels.clear();
        seen[size_t(start)] = true;
        queue.push_back(start);
        while (!queue.empty()) {
            const int at = queue.front();
            queue.pop_front();
            pixels.push_back(at);
            const int x = at % w, y = at / w;
            for (const int next : {x > 0 ? at - 1 : -1, x + 1 < w ? at + 1 : -1, y > 0 ? at - w : -1, y + 1 < h ? at + w : -1}) {
                if (next >= 0 && !seen[size_t(next)] && member(next)) {
                    seen[size_t(next)] = true;
                    queue.push_back(next);
                }
            }
        }
        region(pixels);
    }
}


// The border ring of a picture, as samples of position (fractions of the size) and colour.
std::vector<std::array<double, 5>> borderSamples(const PixelRows& picture) {
    const int w = picture.width, h = picture.height;
    const int ring = std::max(2, std::min(w, h) / 50);
    std::vector<std::array<double, 5>> border;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (x >= ring && y >= ring && x < w - ring && y < h - ring)
                x = w - ring; // skip the inside
            const std::uint8_t* p = picture.row(y) + size_t(x) * size_t(picture.bands);
            border.push_back({double(x) / w, double(y) / h, double(p[0]), double(p[1]), double(p[2])});
        }
    }
    return border;
}

// The background: a plane of colour fitted to all of the border, then again to the part that
// agrees with it, so that a subject touching the border does not pull the background's colour
// towards its own; and how far from it a pixel may be and still be background. Nothing when the
// border mostly disagrees, or agrees only loosely: that is no plain background.
std::optional<std::pair<Model, double>> fitBackground(const std::vector<std::array<double, 5>>& border) {
    Model model;
    std::vector<std::array<double, 5>> fitted = border;
    double threshold = 0;
    for (int round = 0; round < 3; ++round) {
        if (fitted.size() < 16 || !fitPlane(fitted, &model))
            return std::nullopt;
        std::vector<double> distances;
        for (const auto& s : border) {
            double sum = 0;
            for (int c = 0; c < 3; ++c)
                sum += std::pow(s[size_t(2 + c)] - model.colourAt(c, s[0], s[1]), 2);
            distances.push_back(std::sqrt(sum));
        }
        std::vector<double> sorted = distances;
        std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
        const double median = sorted[sorted.size() / 2];
        threshold = std::max(16.0, 3.0 * median + 6.0);
        fitted.clear();
        for (size_t i = 0; i < border.size(); ++i)
            if (distances[i] < threshold)
                fitted.push_back(border[i]);
        if (fitted.size() < border.size() / 2 || median > 28)
            return std::nullopt;
    }
    return std::pair(model, threshold);
}

// Each pixel's distance from the background's colour where it lies.
std::vector<float> distancesFrom(const PixelRows& picture, const Model& model) {
    const int w = picture.width, h = picture.height;
    std::vector<float> away(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = picture.row(y);
        for (int x = 0; x < w; ++x) {
            double sum = 0;
            for (int c = 0; c < 3; ++c)
                sum += std::pow(row[size_t(x) * size_t(picture.bands) + size_t(c)] - model.colourAt(c, double(x) / w, double(y) / h), 2);
            away[size_t(y) * size_t(w) + size_t(x)] = float(std::sqrt(sum));
        }
    }
    return away;
}

// Enclosed regions that match the background closely go too; specks left on either side are
// cleaned: small subject islands go, and small holes in the subject that touch no border fill.
void cleanRegions(int w, int h, const std::vector<float>& away, double threshold, std::vector<std::uint8_t>* mask) {
    std::vector<std::uint8_t>& subject = *mask;
    const size_t small = size_t(w) * size_t(h) / 2000 + 4;
    regions(w, h, [&](int at) { return subject[size_t(at)] && away[size_t(at)] < threshold * 0.6; },
            [&](const std::vector<int>& pixels) {
                if (pixels.size() >= small)
                    for (const int at : pixels)
                        subject[size_t(at)] = 0;
            });
    regions(w, h, [&](int at) { return subject[size_t(at)] != 0; }, [&](const std::vector<int>& pixels) {
        if (pixels.size() < small)
            for (const int at : pixels)
                subject[size_t(at)] = 0;
    });
    regions(w, h, [&](int at) { return subject[size_t(at)] == 0; }, [&](const std::vector<int>& pixels) {
        bool touches = false;
        for (const int at : pixels)
            touches = touches || at % w == 0 || at / w == 0 || at % w == w - 1 || at / w == h - 1;
        if (!touches && pixels.size() < small)
            for (const int at : pixels)
                subject[size_t(at)] = 255;
    });
}

// The subject (255) and the background (0): what matches the background and is connected to the
// border goes, and so do enclosed regions that match it closely; specks on either side are cleaned.
std::vector<std::uint8_t> subjectMask(int w, int h, const std::vector<float>& away, double threshold) {
    std::vector<std::uint8_t> subject(size_t(w) * size_t(h), 255);
    std::deque<int> queue;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int at = y * w + x;
            if ((x == 0 || y == 0 || x == w - 1 || y == h - 1) && away[size_t(at)] < threshold) {
                subject[size_t(at)] = 0;
                queue.push_back(at);
            }
        }
    }
    while (!queue.empty()) {
        const int at = queue.front();
        queue.pop_front();
        const int x = at % w, y = at / w;
        for (const int next : {x > 0 ? at - 1 : -1, x + 1 < w ? at + 1 : -1, y > 0 ? at - w : -1, y + 1 < h ? at + w : -1}) {
            if (next >= 0 && subject[size_t(next)] && away[size_t(next)] < threshold) {
                subject[size_t(next)] = 0;
                queue.push_back(next);
            }
        }
    }
    cleanRegions(w, h, away, threshold, &subject);
    return subject;
}

// The mask's edge made soft: each pixel the mean of its 3 x 3 neighbourhood.
std::vector<std::uint8_t> softened(int w, int h, const std::vector<std::uint8_t>& subject) {
    std::vector<std::uint8_t> alpha(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int sum = 0, count = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (x + dx >= 0 && y + dy >= 0 && x + dx < w && y + dy < h) {
                        sum += subject[size_t(y + dy) * size_t(w) + size_t(x + dx)];
                        ++count;
                    }
            alpha[size_t(y) * size_t(w) + size_t(x)] = std::uint8_t(sum / count);
        }
    }
    return alpha;
}

} // namespace

std::optional<Foreground> findForeground(const PixelRows& picture) {
    const int w = picture.width, h = picture.height;
    if (w < 8 || h < 8 || picture.bands < 3)
        return std::nullopt;
    const auto background = fitBackground(borderSamples(picture));
    if (!background)
        return std::nullopt;
    const auto& [model, threshold] = *background;
    const std::vector<std::uint8_t> subject = subjectMask(w, h, distancesFrom(picture, model), threshold);
    size_t kept = 0;
    for (const std::uint8_t s : subject)
        kept += s != 0;
    // Almost nothing left, or almost everything: no background to speak of.
    const size_t all = size_t(w) * size_t(h);
    if (kept < all / 100 || kept > all * 97 / 100)
        return std::nullopt;
    Foreground found;
    found.width = w;
    found.height = h;
    found.alpha = softened(w, h, subject);
    std::copy(std::begin(model.plane), std::end(model.plane), std::begin(found.plane));
    return found;
}

void decontaminate(std::uint8_t* rgb, const double background[3], int alpha) {
    if (alpha <= 0 || alpha >= 255)
        return;
    const double a = alpha / 255.0;
    for (int c = 0; c < 3; ++c)
        rgb[c] = std::uint8_t(std::clamp(std::lround((rgb[c] - (1 - a) * background[c]) / a), 0L, 255L));
}

} // namespace cropling
