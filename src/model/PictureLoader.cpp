#include "PictureLoader.h"

#include "image/DecoderSession.h"
#include "image/Formats.h"
#include "io/FileBytes.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/stat.h>

#include <cerrno>
#include <memory>

namespace cropling {

namespace {

using Step = PictureLoader::Step;

struct Plan {
    int side = 0;
    int previewSide = 0;
    bool animate = true;
    int clipSide = 0;
};

// Every step of one load, handed to `emit` as it is ready; `emit` answers false when the load is
// no longer wanted. The last step is final or a failure.
void decodeSteps(DecoderSession& session, const PictureLoader::Source& source, const Plan& plan,
                 const std::function<bool(Step)>& emit) {
    // A clip's file stays open: each span the user picks is decoded from it anew.
    PictureInput clipInput;
    {
        // Only until the helper has it: a file is not even read here.
        const PictureInput input = source();
        // With a first look to show, a JPEG goes to the direct helper first, which decodes it
        // reduced from its DCT; the working picture then comes from the libvips helper. Other
        // formats go to the libvips helper alone.
        if (!input.isValid() || !session.start(input, plan.previewSide > 0 && looksFirstDirectly(input.head(12)))) {
            emit(Step{nullptr, true, input.why()});
            return;
        }
        if (session.holdsClip())
            clipInput = input.again();
    }
    bool shown = false;
    if (plan.previewSide > 0) {
        auto preview = session.preview(plan.previewSide);
        if (preview.why) {
            // What the header refused, the full decode would refuse as well.
            emit(Step{nullptr, true, preview.why, session.refusedCodec()});
            return;
        }
        if (preview) {
            (*preview.value)->prepareDisplay();
            if (!emit(Step{*preview.value, false, std::nullopt}))
                return;
            shown = true;
        }
    }
    auto picture = session.decode(plan.side);
    if (picture)
        (*picture.value)->prepareDisplay();
    std::shared_ptr<const ClipSource> clip;
    if (picture && session.holdsClip())
        clip = std::make_shared<ClipSource>(std::move(clipInput), session.clipMs(), session.clipFrameMs());
    if (!picture || !plan.animate || session.frameCount() < 2) {
        emit(Step{picture.value.value_or(nullptr), true, picture.why, session.refusedCodec(), clip});
        return;
    }
    // An animation shows its first frame while the others decode.
    if (!shown && !emit(Step{*picture.value, false, std::nullopt, VideoCodec::Unknown, clip}))
        return;
    auto animation = session.frames(session.holdsClip() ? plan.clipSide : plan.side);
    if (animation)
        (*animation.value)->prepareDisplay();
    emit(Step{animation.value.value_or(nullptr), true, animation.why, VideoCodec::Unknown, clip});
}

} // namespace

PictureInput openPictureFile(const QByteArray& path) {
    int error = 0;
    const int fd = openRegularFile(path, &error, kMaxClipFileBytes);
    if (fd >= 0) {
        // Only a clip, which is never read whole, may be larger than a picture.
        PictureInput input = PictureInput::file(fd);
        struct stat info {};
        if (::fstat(fd, &info) == 0 && info.st_size > kMaxFileBytes && !isClip(input.head(64)))
            return PictureInput::failed(OpenFailure::TooLarge);
        return input;
    }
    switch (error) {
    case ENOENT:
    case ENOTDIR: return PictureInput::failed(OpenFailure::NotFound);
    case EACCES:
    case EPERM: return PictureInput::failed(OpenFailure::NotReadable);
    case EFBIG: return PictureInput::failed(OpenFailure::TooLarge);
    default: return PictureInput::failed(OpenFailure::NotPicture);
    }
}

PictureLoader::~PictureLoader() { cancel(); }

void PictureLoader::cancel() {
    ++generation_;
    if (current_)
        current_->cancel();
    current_.reset();
    setBusy(false);
}

void PictureLoader::load(const Source& source) {
    cancel();
    const quint64 generation = generation_;
    auto session = std::make_shared<DecoderSession>();
    current_ = session;
    const Plan plan{decodeSide_, previewSide_, animate_, clipSide_};
    auto shown = std::make_shared<bool>(false);
    if (!background_) {
        decodeSteps(*session, source, Plan{plan.side, 0, plan.animate, plan.clipSide}, [&](const Step& step) {
            deliver(step, shown.get());
            return true;
        });
        return;
    }

    QFuture<Step> future = QtConcurrent::run([session, source, plan](QPromise<Step>& promise) {
        decodeSteps(*session, source, plan, [&promise](Step step) {
            if (promise.isCanceled())
                return false;
            promise.addResult(std::move(step));
            return true;
        });
    });
    auto* watcher = new QFutureWatcher<Step>(this);
    connect(watcher, &QFutureWatcherBase::resultReadyAt, this, [=, this](int index) {
        if (generation == generation_)
            deliver(watcher->resultAt(index), shown.get());
    });
    connect(watcher, &QFutureWatcherBase::finished, this, [=, this] {
        watcher->deleteLater();
        if (generation != generation_)
            return;
        current_.reset();
        setBusy(false);
    });
    watcher->setFuture(future);
    setBusy(true);
}

void PictureLoader::deliver(const Step& step, bool* shown) {
    if (!step.picture) {
        Q_EMIT failed(step.why, step.codec);
    } else if (!*shown) {
        *shown = true;
        Q_EMIT loaded(step.picture, step.final, step.clip);
    } else {
        Q_EMIT refined(step.picture);
    }
}

void PictureLoader::setBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    Q_EMIT busyChanged(busy);
}

} // namespace cropling
