#pragma once

// Work that may take longer than a frame runs on a worker thread; its result comes back to the
// thread of `owner`, to `then`, and never once `owner` is gone. Every background job of the editor
// goes through here, so that each is written as what it does and what follows, not as the
// machinery between them.

#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

#include <type_traits>
#include <utility>

namespace cropling {

template <typename Work, typename Then>
void runInBackground(QObject* owner, Work&& work, Then&& then) {
    using Result = std::invoke_result_t<std::decay_t<Work>>;
    auto* watcher = new QFutureWatcher<Result>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, owner, [watcher, then = std::forward<Then>(then)]() mutable {
        watcher->deleteLater();
        then(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(std::forward<Work>(work)));
}

// The same, or at once on this thread where `background` is off (a script, a test).
template <typename Work, typename Then>
void runInBackgroundIf(bool background, QObject* owner, Work&& work, Then&& then) {
    if (!background)
        return then(work());
    runInBackground(owner, std::forward<Work>(work), std::forward<Then>(then));
}

} // namespace cropling
