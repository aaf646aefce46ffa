#pragma once

// Why a picture did not open, as the decoding helper, the loader and every message share it.

namespace cropling {

enum class OpenFailure {
    NotFound,    // no file at that path
    NotReadable, // the file may not be read (permission)
    NotPicture,  // not a regular file, or no decoder this program allows reads it
    Damaged,     // a decoder read it and failed, or died on it
    TooLarge,    // refused by a size, frame or memory bound
    OutOfMemory, // the helper ran out of the memory it was admitted with (shown as TooLarge)
    TookTooLong, // stopped by the decode deadline
    TooManyFrames, // an animation of more frames or a longer play than the bounds allow
    NoVideo,     // a media file with sound and no picture: an audio file, a clip of sound alone
    UnsupportedCodec, // a clip whose video is in a codec the video helper does not decode
    SpanPastEnd,      // a clip's span that starts after its last frame (a clip of unknown length)
};

} // namespace cropling
