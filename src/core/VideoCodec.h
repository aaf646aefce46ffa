#pragma once

// The video codecs a clip may come in that the video helper does not decode, as it names them to
// the program: a number from this list, never text, so that what a hostile file says can only
// pick one of these names.

#include <QString>

namespace cropling {

enum class VideoCodec : int {
    Unknown = 0, // one the list does not name
    Ffv1,
    ProRes,
    Mjpeg,
    RawVideo,
    Mpeg1,
    Mpeg2,
    H263,
    Theora,
    Vc1,
    Wmv,
    DnxHd,
    Cinepak,
    Png,
    Gif,
    Count,
};

// As people know it: "FFV1", "ProRes", "raw video"; empty for one the list does not name.
QString videoCodecName(VideoCodec codec);

} // namespace cropling
