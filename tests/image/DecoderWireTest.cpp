// The reply heads a helper may send about a clip it refuses: the codec it names is one of the
// program's list and only with that refusal, and a refusal carries nothing after it.

#include "wire/DecoderWire.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace cropling;
using namespace cropling::wire;

namespace {

std::optional<ReplyHead> checked(Status status, std::int32_t codec, std::uint64_t payload = 0, Task task = Task::RenderFrames) {
    ReplyHead head = withStatus(status);
    head.codec = codec;
    head.payloadBytes = payload;
    QByteArray bytes(sizeof head, '\0');
    std::memcpy(bytes.data(), &head, sizeof head);
    return checkedHead(bytes, task, 128);
}

} // namespace

TEST(DecoderWire, ARefusedClipNamesOnlyACodecOfTheListAndCarriesNothing) {
    const auto named = checked(Status::UnsupportedCodec, int(VideoCodec::Ffv1));
    ASSERT_TRUE(named);
    EXPECT_EQ(failureOf(named->status), OpenFailure::UnsupportedCodec);
    EXPECT_EQ(VideoCodec(named->codec), VideoCodec::Ffv1);
    EXPECT_TRUE(checked(Status::UnsupportedCodec, int(VideoCodec::Unknown)));
    // Past the list, below it, or beside any other status: not a reply the program takes.
    EXPECT_FALSE(checked(Status::UnsupportedCodec, int(VideoCodec::Count)));
    EXPECT_FALSE(checked(Status::UnsupportedCodec, -1));
    EXPECT_FALSE(checked(Status::Damaged, int(VideoCodec::Mjpeg)));
    EXPECT_FALSE(checked(Status::Ok, int(VideoCodec::Mjpeg)));

    const auto past = checked(Status::PastEnd, 0);
    ASSERT_TRUE(past);
    EXPECT_EQ(failureOf(past->status), OpenFailure::SpanPastEnd);
    EXPECT_EQ(statusOf(OpenFailure::SpanPastEnd), Status::PastEnd);
    EXPECT_FALSE(checked(Status::PastEnd, 0, 300));
    // Out of memory is a status of its own, so that the program asks again with more only then.
    const auto outOfMemory = checked(Status::OutOfMemory, 0);
    ASSERT_TRUE(outOfMemory);
    EXPECT_EQ(failureOf(outOfMemory->status), OpenFailure::OutOfMemory);
    EXPECT_EQ(statusOf(OpenFailure::OutOfMemory), Status::OutOfMemory);
    EXPECT_FALSE(checked(Status(12), 0));
}
