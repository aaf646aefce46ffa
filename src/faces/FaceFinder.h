#pragma once

// The face-finding module, loaded by the program on the first use of auto-framing so that nothing
// else pays for OpenCV. Plain C across the boundary: the program and the module share no types.

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

#ifdef __cplusplus
}
#endif
