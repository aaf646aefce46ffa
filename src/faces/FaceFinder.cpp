#include "core/FaceFinderAbi.h"
#include "Guarded.h"

#include <opencv2/imgproc.hpp>
#include <opencv2/objdetect.hpp>

#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Frontal and profile faces of people, and cats' faces: the cascades Debian's opencv-data ships,
// in the order of CroplingFaceKind. alt2 gives fewer false faces than the default frontal cascade
// at the same speed.
constexpr const char* kCascades[] = {"haarcascade_frontalface_alt2.xml", "haarcascade_profileface.xml",
                                     "haarcascade_frontalcatface_extended.xml"};
static_assert(std::size(kCascades) == CroplingFaceKinds);

// Each cascade is read on its first use and kept for the process: reading one takes tens of
// milliseconds, and a photo of a person never needs the other two.
struct Detector {
    cv::CascadeClassifier cascade;
    std::string error;
    // A cascade may not run on two threads at once (its copies share their state); different
    // kinds may.
    std::mutex searching;
};

Detector& detector(int kind) {
    static Detector loaded[CroplingFaceKinds];
    static std::once_flag once[CroplingFaceKinds];
    std::call_once(once[kind], [kind] {
        std::vector<std::string> folders;
        if (const char* own = std::getenv("CROPLING_CASCADES"))
            folders.emplace_back(own);
        folders.emplace_back("/usr/share/opencv4/haarcascades");
        folders.emplace_back("/usr/share/opencv/haarcascades");
        Detector& d = loaded[kind];
        for (const std::string& folder : folders) {
            if (d.cascade.load(folder + "/" + kCascades[kind]))
                return;
        }
        d.error = std::string("the face detector ") + kCascades[kind] + " is not installed (package opencv-data)";
    });
    return loaded[kind];
}

// The detector of a kind, read on first use; nothing, with the reason in `error`, for a kind there
// is none of or a detector that is not installed.
Detector* loaded(int kind, char* error, int errorSize) {
    if (kind < 0 || kind >= CroplingFaceKinds) {
        std::snprintf(error, size_t(errorSize), "no such kind of face: %d", kind);
        return nullptr;
    }
    Detector& found = detector(kind);
    if (found.cascade.empty()) {
        std::snprintf(error, size_t(errorSize), "%s", found.error.c_str());
        return nullptr;
    }
    return &found;
}

} // namespace

extern "C" int cropling_prepare_faces(int kind, char* error, int errorSize) {
    return guarded(error, errorSize, [&] { return loaded(kind, error, errorSize) ? 0 : -1; });
}

extern "C" int cropling_find_faces_of(int kind, const unsigned char* grey, int width, int height, int stride,
                                      CroplingFace* faces, int most, char* error, int errorSize) {
    return guarded(error, errorSize, [&] {
        Detector* found = loaded(kind, error, errorSize);
        if (!found)
            return -1;
        const cv::Mat view(height, width, CV_8UC1, const_cast<unsigned char*>(grey), size_t(stride));
        cv::Mat equalised;
        cv::equalizeHist(view, equalised);
        // A face worth framing is at least a tenth of the picture's shorter side: smaller, its head
        // could not fill the square even at the highest zoom.
        const int smallest = std::max(20, std::min(width, height) / 10);
        std::vector<cv::Rect> boxes;
        {
            const std::lock_guard lock(found->searching);
            found->cascade.detectMultiScale(equalised, boxes, 1.2, 4, 0, cv::Size(smallest, smallest));
        }
        int count = 0;
        for (const cv::Rect& box : boxes) {
            if (count < most)
                faces[count++] = CroplingFace{box.x, box.y, box.width, box.height};
        }
        return count;
    });
}

extern "C" int cropling_find_faces(const unsigned char* grey, int width, int height, int stride, CroplingFace* faces,
                                   int most, char* error, int errorSize) {
    // People looking at the camera first, then in profile, then cats: the first kind found is what
    // the picture is of, and the searches after it are not needed.
    for (int kind = 0; kind < CroplingFaceKinds; ++kind) {
        const int count = cropling_find_faces_of(kind, grey, width, height, stride, faces, most, error, errorSize);
        if (count != 0)
            return count;
    }
    return 0;
}
