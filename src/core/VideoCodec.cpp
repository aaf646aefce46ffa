#include "VideoCodec.h"

namespace cropling {

QString videoCodecName(VideoCodec codec) {
    switch (codec) {
    case VideoCodec::Ffv1: return QStringLiteral("FFV1");
    case VideoCodec::ProRes: return QStringLiteral("ProRes");
    case VideoCodec::Mjpeg: return QStringLiteral("Motion JPEG");
    case VideoCodec::RawVideo: return QStringLiteral("raw video");
    case VideoCodec::Mpeg1: return QStringLiteral("MPEG-1");
    case VideoCodec::Mpeg2: return QStringLiteral("MPEG-2");
    case VideoCodec::H263: return QStringLiteral("H.263");
    case VideoCodec::Theora: return QStringLiteral("Theora");
    case VideoCodec::Vc1: return QStringLiteral("VC-1");
    case VideoCodec::Wmv: return QStringLiteral("WMV");
    case VideoCodec::DnxHd: return QStringLiteral("DNxHD");
    case VideoCodec::Cinepak: return QStringLiteral("Cinepak");
    case VideoCodec::Png: return QStringLiteral("PNG");
    case VideoCodec::Gif: return QStringLiteral("GIF");
    case VideoCodec::Unknown:
    case VideoCodec::Count: break;
    }
    return QString();
}

} // namespace cropling
