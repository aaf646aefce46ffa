#include "core/FaceFinderAbi.h"

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

// Frontal and profile faces of people, and cats' faces: the cascades Debian's opencv-data ships.
// alt2 gives fewer false faces than the default frontal cascade at the same speed.
constexpr const char* kCascades[] = {"haarcascade_frontalface_alt2.xml", "haarcascade_profileface.xml",
                                     "haarcascade_frontalcatface_extended.xml"};

// Each cascade is read on its first use and kept for the process: reading one takes tens of
// milliseconds, and a photo of a person never needs the other two.
struct Detector {
    cv::CascadeClassifier cascade;
    std::string error;
};

const Detector& detector(size_t kind) {
    static Detector loaded[std::size(kCascades)];
    static std::once_flag once[std::size(kCascades)];
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

} // namespace

extern "C" int cropling_find_faces(const unsigned char* grey, int width, int height, int stride, CroplingFace* faces,
                                   int most, char* error, int errorSize) {
    try {
        const cv::Mat view(height, width, CV_8UC1, const_cast<unsigned char*>(grey), size_t(stride));
        cv::Mat equalised;
        cv::equalizeHist(view, equalised);
        // A face worth framing is at least a tenth of the picture's shorter side: smaller, its head
        // could not fill the square even at the highest zoom.
        const int smallest = std::max(20, std::min(width, height) / 10);
        int count = 0;
        // A cascade may not run on two threads at once (its copies share their state): one search
        // at a time, a few tens of milliseconds each.
        static std::mutex searching;
        const std::lock_guard lock(searching);
        for (size_t i = 0; i < std::size(kCascades); ++i) {
            const Detector& found = detector(i);
            if (found.cascade.empty()) {
                std::snprintf(error, size_t(errorSize), "%s", found.error.c_str());
                return -1;
            }
            std::vector<cv::Rect> boxes;
            const_cast<cv::CascadeClassifier&>(found.cascade)
                .detectMultiScale(equalised, boxes, 1.2, 4, 0, cv::Size(smallest, smallest));
            for (const cv::Rect& box : boxes) {
                if (count < most)
                    faces[count++] = CroplingFace{box.x, box.y, box.width, box.height};
            }
            // People looking at the camera first, then in profile, then cats: the first kind found
            // is what the picture is of, and the searches after it are not needed.
            if (count > 0)
                break;
        }
        return count;
    } catch (const cv::Exception& e) {
        std::snprintf(error, size_t(errorSize), "%s", e.what());
        return -1;
    } catch (...) {
        // Nothing may cross into the program, which knows no C++ of this module.
        std::snprintf(error, size_t(errorSize), "%s", "out of memory");
        return -1;
    }
}
