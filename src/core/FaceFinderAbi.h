#pragma once

// What the face-finding module offers: it is loaded by the program on the first use of
// auto-framing or of refining a cut-out, so that nothing else pays for OpenCV. Plain C across the boundary, declared once
// here for the module that defines it and the program that calls it.

#ifdef __cplusplus
extern "C" {
#endif

struct CroplingFace {
    int x;
    int y;
    int width;
    int height;
};

// The kinds of face, in the order a search tries them: the first kind found is what the picture
// is of.
enum CroplingFaceKind { CroplingFrontalFace = 0, CroplingProfileFace = 1, CroplingCatFace = 2, CroplingFaceKinds = 3 };

// Finds the people's and cats' faces in a grey picture: frontal faces, then profiles, then cats,
// stopping at the first kind found. Returns how many it wrote into `faces` (at most `most`), or -1
// with the reason in `error` when its detectors could not be loaded.
int cropling_find_faces(const unsigned char* grey, int width, int height, int stride, struct CroplingFace* faces,
                        int most, char* error, int errorSize);
typedef int (*CroplingFindFaces)(const unsigned char*, int, int, int, struct CroplingFace*, int, char*, int);

// The same for one kind only. Searches for different kinds may run on different threads at once.
int cropling_find_faces_of(int kind, const unsigned char* grey, int width, int height, int stride,
                           struct CroplingFace* faces, int most, char* error, int errorSize);
typedef int (*CroplingFindFacesOf)(int, const unsigned char*, int, int, int, struct CroplingFace*, int, char*, int);

// Reads the detector of one kind now (each is read once, on its first use, tens of milliseconds),
// so that a search after it starts at once. Returns 0, or -1 with the reason in `error`.
int cropling_prepare_faces(int kind, char* error, int errorSize);
typedef int (*CroplingPrepareFaces)(int, char*, int);

// What each pixel of a picture is, for the segmentation: the values OpenCV's GrabCut takes.
enum CroplingSegment { CroplingBackground = 0, CroplingSubject = 1, CroplingLikelyBackground = 2, CroplingLikelySubject = 3 };

// Separates the subject from the background of an RGB picture, starting from `labels` (one byte a
// pixel, a CroplingSegment each, stride `width`): the sure ones stay, the likely ones are decided
// anew. Returns 0, or -1 with the reason in `error`.
int cropling_segment(const unsigned char* rgb, int width, int height, int stride, unsigned char* labels, int iterations,
                     char* error, int errorSize);
typedef int (*CroplingSegmentPicture)(const unsigned char*, int, int, int, unsigned char*, int, char*, int);

#ifdef __cplusplus
}
#endif
