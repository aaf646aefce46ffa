#include "FramePlayback.h"

#include "core/Animation.h"

namespace cropling {

FramePlayback::FramePlayback(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &FramePlayback::advance);
}

void FramePlayback::setPicture(const PicturePtr& picture) {
    const bool wasPlaying = isPlaying();
    picture_ = picture;
    playsDone_ = 0;
    timer_.stop();
    showFrame(0);
    if (canPlay())
        scheduleNext();
    if (wasPlaying != isPlaying())
        Q_EMIT playingChanged(isPlaying());
}

void FramePlayback::keepPlace(const PicturePtr& picture) {
    const bool wasAnimated = canPlay();
    picture_ = picture;
    if (!canPlay() || frame_ >= picture_->frameCount())
        return setPicture(picture);
    // The first frame of an animation became the whole animation: it starts now.
    if (!wasAnimated) {
        scheduleNext();
        Q_EMIT playingChanged(true);
    }
    Q_EMIT frameChanged();
}

void FramePlayback::setPlaying(bool playing) {
    if (playing == isPlaying() || (playing && !canPlay()))
        return;
    if (playing) {
        const int loop = picture_->loopCount();
        if (loop > 0 && playsDone_ >= loop) {
            playsDone_ = 0;
            showFrame(0);
        }
        scheduleNext();
    } else {
        timer_.stop();
    }
    Q_EMIT playingChanged(playing);
}

void FramePlayback::scheduleNext() {
    timer_.start(shownDelay(picture_->frameDelays()[size_t(frame_)]));
}

void FramePlayback::advance() {
    if (!canPlay())
        return;
    int next = frame_ + 1;
    if (next >= picture_->frameCount()) {
        // A file that plays a set number of times stops on its last frame, as a chat shows it.
        const int loop = picture_->loopCount();
        if (loop > 0 && ++playsDone_ >= loop) {
            Q_EMIT playingChanged(false);
            return;
        }
        next = 0;
    }
    showFrame(next);
    scheduleNext();
}

void FramePlayback::showFrame(int frame) {
    if (frame == frame_)
        return;
    frame_ = frame;
    Q_EMIT frameChanged();
}

} // namespace cropling
