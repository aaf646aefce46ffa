#pragma once

// What the face-finding module offers: it is loaded by the program on the first use of
// auto-framing so that nothing else pays for OpenCV. Plain C across the boundary, declared once
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

// Finds the people's and cats' faces in a grey picture. Returns how many it wrote into `faces`
// (at most `most`), or -1 with the reason in `error` when its detectors could not be loaded.
int cropling_find_faces(const unsigned char* grey, int width, int height, int stride, struct CroplingFace* faces,
                        int most, char* error, int errorSize);
typedef int (*CroplingFindFaces)(const unsigned char*, int, int, int, struct CroplingFace*, int, char*, int);

#ifdef __cplusplus
}
#endif
