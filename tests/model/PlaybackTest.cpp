#include "PictureFixtures.h"

#include "model/FramePlayback.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

using namespace cropling;
using namespace cropling::test;

TEST(Playback, ZeroDelaysPlayAsBrowsersPlayThemAndASetNumberOfPlaysEndsOnTheLastFrame) {
    // Three frames that ask for no delay at all, played twice: as browsers and chats show them,
    // each frame stands for a tenth of a second, and the second play stops on the last frame.
    std::vector<PicturePtr> frames;
    for (int i = 0; i < 3; ++i)
        frames.push_back(makePicture(makeImage(8, 8, 3, [i](int, int, int) { return i * 80; })));
    const PicturePtr animation = Picture::animated(frames, {0, 0, 0}, 2);
    FramePlayback playback;
    std::vector<int> shown;
    QObject::connect(&playback, &FramePlayback::frameChanged, [&] { shown.push_back(playback.currentFrame()); });
    QElapsedTimer clock;
    clock.start();
    playback.setPicture(animation);
    ASSERT_TRUE(playback.isPlaying());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !playback.isPlaying(); }, 10'000));
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 0, 1, 2}));
    EXPECT_EQ(playback.currentFrame(), 2);
    // Five frame changes, each after a frame shown for a tenth of a second, and the last shown
    // for its own tenth before the play ends.
    EXPECT_GE(clock.elapsed(), 550);

    // Playing again after the last play starts a new one from the first frame.
    playback.setPlaying(true);
    EXPECT_EQ(playback.currentFrame(), 0);
    EXPECT_TRUE(playback.isPlaying());
}
