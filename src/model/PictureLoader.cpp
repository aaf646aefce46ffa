#include "PictureLoader.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <memory>

namespace cropling {

namespace {

struct Decoded {
    PicturePtr picture;
    bool preview = false;
};

} // namespace

void PictureLoader::load(const Source& source) {
    const quint64 generation = ++generation_;
    const int side = decodeSide_;
    if (!background_) {
        PicturePtr picture;
        if (const auto bytes = source())
            picture = renderOnce_ ? Picture::open(*bytes) : Picture::decode(*bytes, side);
        if (picture)
            Q_EMIT loaded(picture, false);
        else
            Q_EMIT failed();
        return;
    }

    const int previewSide = previewSide_;
    QFuture<Decoded> future = QtConcurrent::run([source, side, previewSide](QPromise<Decoded>& promise) {
        const auto bytes = source();
        if (!bytes || promise.isCanceled())
            return;
        if (auto preview = previewSide > 0 ? Picture::decodePreview(*bytes, previewSide) : nullptr) {
            preview->prepareDisplay();
            promise.addResult(Decoded{std::move(preview), true});
        }
        if (promise.isCanceled())
            return;
        if (auto picture = Picture::decode(*bytes, side)) {
            picture->prepareDisplay();
            promise.addResult(Decoded{std::move(picture), false});
        }
    });
    auto* watcher = new QFutureWatcher<Decoded>(this);
    auto shown = std::make_shared<bool>(false);
    connect(watcher, &QFutureWatcherBase::resultReadyAt, this, [=, this](int index) {
        if (generation != generation_)
            return;
        Q_EMIT loaded(watcher->resultAt(index).picture, *shown);
        *shown = true;
    });
    connect(watcher, &QFutureWatcherBase::finished, this, [=, this] {
        watcher->deleteLater();
        if (generation != generation_)
            return;
        setBusy(false);
        if (!*shown)
            Q_EMIT failed();
    });
    // Whatever an earlier picture still does is no longer wanted.
    for (auto* earlier : findChildren<QFutureWatcher<Decoded>*>(QString(), Qt::FindDirectChildrenOnly))
        earlier->cancel();
    watcher->setFuture(future);
    setBusy(true);
}

void PictureLoader::setBusy(bool busy) {
    if (busy == busy_)
        return;
    busy_ = busy;
    Q_EMIT busyChanged(busy);
}

} // namespace cropling
