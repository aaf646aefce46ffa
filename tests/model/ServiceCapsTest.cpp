// Each chat service's published caps on what an export makes of an animation: Slack's 131,072
// bytes and 50 frames, Discord's 262,144 bytes and no frame cap of its own. A cap read wrong either
// way is a file the service refuses or a budget left unused.

#include "PictureFixtures.h"

#include "core/ChatTarget.h"
#include "image/Picture.h"
#include "model/ExportJob.h"

#include <gtest/gtest.h>

#include <random>

using namespace cropling;
using namespace cropling::test;

namespace {

// `count` frames of 128 x 128, 40 ms each: a small square moving over flat colour (a few hundred
// bytes a frame), or noise (more than any budget can keep whole).
PicturePtr animation(int count, bool noise) {
    std::mt19937 random(7);
    std::vector<PicturePtr> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(makePicture(makeImage(128, 128, 3, [&](int x, int y, int b) {
            if (noise)
                return int(random() & 255);
            const bool square = x >= i % 100 && x < i % 100 + 24 && y >= 50 && y < 74;
            return square ? (b == 0 ? 220 : 40) : (b == 2 ? 200 : 90);
        })));
    }
    return Picture::animated(std::move(frames), std::vector<int>(size_t(count), 40), 0);
}

struct Made {
    qsizetype bytes = 0;
    int frames = 0;
};

Made exportFor(const PicturePtr& picture, const char* service) {
    const ExportRequest request{ExportFormat::Auto, kEmojiSide, gifLimitsOf(*chatTargetNamed(QLatin1String(service)))};
    const ExportOutcome outcome = ExportJob(picture, Framing{}, request, QStringLiteral("animation")).run();
    EXPECT_TRUE(outcome && outcome.emoji->gif) << service;
    if (!outcome)
        return {};
    const vips::VImage gif = vips::VImage::new_from_buffer(outcome.emoji->bytes.constData(), size_t(outcome.emoji->bytes.size()), "",
                                                           vips::VImage::option()->set("n", -1));
    return {outcome.emoji->bytes.size(), gif.get_int("n-pages")};
}

} // namespace

TEST(ServiceCaps, EachServiceGetsAnAnimationWithinItsCapsThatUsesThem) {
    // Light frames: bytes never decide, so the frame cap alone does.
    const PicturePtr light = animation(100, false);
    const Made slack = exportFor(light, "slack");
    EXPECT_EQ(slack.frames, 50);
    EXPECT_LE(slack.bytes, 131'072);
    EXPECT_EQ(exportFor(light, "discord").frames, 100);
    // Noise: bytes decide, and Discord's budget is twice Slack's.
    const PicturePtr heavy = animation(30, true);
    const Made slackNoise = exportFor(heavy, "slack");
    const Made discordNoise = exportFor(heavy, "discord");
    EXPECT_LE(slackNoise.bytes, 131'072);
    EXPECT_GT(discordNoise.bytes, 131'072);
    EXPECT_LE(discordNoise.bytes, 262'144);
}
