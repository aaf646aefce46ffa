#pragma once

// Plays an animation's frames at their own timing for every view of one editor, so the crop square
// and both chat sizes always show the same frame. A still has one frame and nothing to play.

#include "image/Picture.h"

#include <QObject>
#include <QTimer>

namespace cropling {

class FramePlayback : public QObject {
    Q_OBJECT
public:
    explicit FramePlayback(QObject* parent = nullptr);

    // Starts the picture from its first frame, playing when it is an animation.
    void setPicture(const PicturePtr& picture);
    // The same animation at a finer resolution, or its final decode after the first frame: the
    // frame and the play go on where they are.
    void keepPlace(const PicturePtr& picture);
    int currentFrame() const { return frame_; }
    // Only an animation whose frames are decoded plays; one opened for a single render has none.
    bool canPlay() const { return picture_ && picture_->hasFrames(); }
    bool isPlaying() const { return timer_.isActive(); }
    // Pausing keeps the frame shown; playing again after the last play starts a new one.
    void setPlaying(bool playing);
    void togglePlaying() { setPlaying(!isPlaying()); }

Q_SIGNALS:
    void frameChanged();
    void playingChanged(bool playing);

private:
    void advance();
    void showFrame(int frame);
    void scheduleNext();

    PicturePtr picture_;
    QTimer timer_;
    int frame_ = 0;
    int playsDone_ = 0;
};

} // namespace cropling
