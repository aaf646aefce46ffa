// How long the event loop of a real window (offscreen) goes without turning while a photo opens
// and while the emoji is saved and copied, with the time to the first look, to the working
// picture, and to each export, and the process's peak memory.
//
//   build/bench/stall_bench [PHOTO.jpg | MEGAPIXELS]...     (default: 24 50 100)

#include "BenchPhotos.h"

#include "app/MainWindow.h"
#include "io/LocalPath.h"
#include "model/EmojiEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace cropling;

namespace {

// Ticks every millisecond and keeps the longest gap between two ticks.
class StallMeter {
public:
    StallMeter() {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, clock_.restart());
        });
    }
    void start() {
        longest_ = 0;
        clock_.start();
        timer_.start();
    }
    qint64 stop() {
        timer_.stop();
        return std::max(longest_, clock_.elapsed());
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

// Runs the event loop until `done` holds, checking after every signal of the editor.
void waitFor(EmojiEditor* editor, const std::function<bool()>& done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    (void)editor;
    loop.exec();
}

long peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList photos = app.arguments().mid(1);
    if (photos.isEmpty())
        photos = {QStringLiteral("24"), QStringLiteral("50"), QStringLiteral("100")};
    QTemporaryDir out;

    std::printf("%-22s %9s %9s %9s %9s %9s %9s %9s %8s\n", "photo", "look ms", "ready ms", "stall ms", "save ms",
                "stall ms", "copy ms", "stall ms", "peak MB");
    for (const QString& photo : photos) {
        bool isNumber = false;
        const int megapixels = photo.toInt(&isNumber);
        const QByteArray path = isNumber ? bench::photoFile(megapixels) : QFile::encodeName(photo);

        MainWindow window;
        window.show();
        QApplication::processEvents();
        EmojiEditor* editor = window.editor();
        const QByteArray saved = QFile::encodeName(out.path()) + "/emoji.png";
        editor->setSaveDialog([&](const QString&) { return std::optional<QByteArray>(saved); });

        StallMeter meter;
        QElapsedTimer clock;
        qint64 look = -1;
        auto firstLook = QObject::connect(editor, &EmojiEditor::imageChanged, [&] {
            if (look < 0)
                look = clock.elapsed();
        });
        meter.start();
        clock.start();
        editor->load(urlFromLocalPath(path));
        waitFor(editor, [&] { return !editor->isBusy() && editor->image(); });
        const qint64 ready = clock.elapsed();
        const qint64 openStall = meter.stop();
        QObject::disconnect(firstLook);

        const auto exportOnce = [&](const std::function<void()>& start, qint64* stall) {
            editor->setStatusMessage(std::nullopt);
            meter.start();
            clock.restart();
            start();
            waitFor(editor, [&] { return editor->statusMessage().has_value(); });
            *stall = meter.stop();
            return clock.elapsed();
        };
        qint64 saveStall = 0, copyStall = 0;
        const qint64 save = exportOnce([&] { editor->save(); }, &saveStall);
        const qint64 copy = exportOnce([&] { editor->copyToClipboard(); }, &copyStall);

        char name[64];
        std::snprintf(name, sizeof name, "%s (%dx%d)", isNumber ? qPrintable(photo + QStringLiteral(" MP")) : "photo",
                      editor->image()->fullSize().width(), editor->image()->fullSize().height());
        std::printf("%-22s %9lld %9lld %9lld %9lld %9lld %9lld %9lld %8ld\n", name, look, ready, openStall, save,
                    saveStall, copy, copyStall, peakMegabytes());
        std::fflush(stdout);
    }
    return 0;
}
