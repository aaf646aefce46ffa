// The subject of a picture told from its background by GrabCut, which models both as mixtures of
// colours and cuts between them along the picture's edges; what the user marked stays as marked.

#include "core/FaceFinderAbi.h"
#include "Guarded.h"

#include <opencv2/imgproc.hpp>


extern "C" int cropling_segment(const unsigned char* rgb, int width, int height, int stride, unsigned char* labels,
                                int iterations, char* error, int errorSize) {
    return guarded(error, errorSize, [&] {
        const cv::Mat picture(height, width, CV_8UC3, const_cast<unsigned char*>(rgb), size_t(stride));
        cv::Mat mask(height, width, CV_8UC1, labels);
        // GrabCut needs some of both to model them: without, there is nothing to decide.
        bool subject = false, background = false;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned char label = labels[size_t(y) * size_t(width) + size_t(x)];
                subject = subject || label == CroplingSubject || label == CroplingLikelySubject;
                background = background || label == CroplingBackground || label == CroplingLikelyBackground;
            }
        if (!subject || !background)
            return 0;
        cv::Mat backgroundModel, subjectModel;
        cv::grabCut(picture, mask, cv::Rect(), backgroundModel, subjectModel, iterations, cv::GC_INIT_WITH_MASK);
        return 0;
    });
}
