#pragma once

// The face finder module (OpenCV's detectors and segmentation), loaded on first use so that a
// program that never frames a face or refines a cut-out never loads OpenCV. Needs no libvips: the
// program loads it while the libvips part is still loading.

#include "core/FaceFinderAbi.h"

#include <QString>

namespace cropling {

// Where the module is: next to the program, in its lib folder, or in the build tree.
QString faceFinderPath();

// The module's entry points; `error` says why they are missing.
struct FaceModule {
    CroplingFindFaces find = nullptr;
    CroplingFindFacesOf findOf = nullptr;
    CroplingPrepareFaces prepare = nullptr;
    CroplingSegmentPicture segment = nullptr;
    QString error;
};
// Loaded once per process (a program and the libvips module it loads share the one copy of the
// module itself, and so its detectors). Safe from any thread.
const FaceModule& faceModule();

// Loads the module and reads its frontal face detector now, so that a search after it starts at
// once. A missing module or detector is reported by the search itself.
void prepareFaceSearch();

} // namespace cropling
