#include "ClipFixtures.h"
#include "PictureFixtures.h"

#include "image/DecoderSession.h"
#include "image/Picture.h"
#include "model/EmojiEditor.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <thread>

using namespace cropling;

namespace {

// The pool of helpers' memory at another size while this lives, and as before after.
struct PoolOf {
    explicit PoolOf(std::int64_t bytes) { DecoderSession::memoryBudget().resize(bytes); }
    ~PoolOf() { DecoderSession::memoryBudget().resize(helperMemory::kPoolBytes); }
};

// Every helper started while this lives is the faulty stand-in, which reads its fault from the
// picture's bytes.
struct FaultyHelper {
    FaultyHelper() { qputenv("CROPLING_DECODER", FAULTY_DECODER); }
    ~FaultyHelper() { qunsetenv("CROPLING_DECODER"); }
};

// How many stand-ins are still running (or unreaped) anywhere on the machine.
// Stand-ins this test started: other tests may run their own at the same time.
int runningStandIns() {
    int count = 0;
    const QByteArray parent = "PPid:\t" + QByteArray::number(::getpid()) + '\n';
    for (const QFileInfo& process : QDir(QStringLiteral("/proc")).entryInfoList(QDir::Dirs)) {
        QFile status(process.filePath() + QStringLiteral("/status"));
        if (QFileInfo(process.filePath() + QStringLiteral("/exe")).canonicalFilePath() ==
                QFileInfo(QStringLiteral(FAULTY_DECODER)).canonicalFilePath() &&
            status.open(QIODevice::ReadOnly) && status.readAll().contains(parent))
            ++count;
    }
    return count;
}

std::optional<OpenFailure> decodeFailure(const QByteArray& fault, int deadlineMs = DecoderSession::kDeadlineMs) {
    DecoderSession session;
    session.setDeadline(deadlineMs);
    if (!session.start(fault))
        return OpenFailure::NotPicture; // not what any case expects
    const auto outcome = session.decode(100);
    EXPECT_FALSE(outcome.value);
    return outcome.why;
}

QUrl fault(const char* name) { return QUrl::fromLocalFile(QStringLiteral(CROPLING_FAULT_FILES "/") + QLatin1String(name)); }

// An editor as a window sets one up (working resolution, a first look, workers), with the
// stand-in's good picture open.
void openGoodPicture(EmojiEditor& editor) {
    editor.decodeForScreen(1.0);
    editor.setBackgroundWork(true);
    editor.load(fault("ok"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor.image() && !editor.isBusy(); }, 5000));
}

} // namespace

TEST(DecoderSession, AHelperThatDiesLiesOrOverrunsCostsOnlyThatPictureWithAReason) {
    FaultyHelper faulty;
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(decodeFailure("abort"), OpenFailure::Damaged);
    EXPECT_EQ(decodeFailure("garbage"), OpenFailure::Damaged);
    // A reply announcing 4 TB is refused from its head, before anything is allocated for it.
    EXPECT_EQ(decodeFailure("claims-too-much"), OpenFailure::Damaged);
    // A render that is not the PNG asked for is not passed on as one.
    {
        DecoderSession session;
        ASSERT_TRUE(session.start(QByteArray("not-a-png")));
        const auto rendered = session.render({1, {0, 0}}, 128);
        EXPECT_FALSE(rendered.value);
        EXPECT_EQ(rendered.why, OpenFailure::Damaged);
    }
    // The helper's own address limit stops a decoder that allocates without end.
    EXPECT_EQ(decodeFailure("allocate"), OpenFailure::TooLarge);
    EXPECT_LT(clock.elapsed(), 5000);
    // A helper that ends at a bound says so by its exit, and is not taken for a damaged file.
    EXPECT_EQ(decodeFailure("beyond-the-file-bound"), OpenFailure::TooLarge);

    clock.restart();
    EXPECT_EQ(decodeFailure("hang", 300), OpenFailure::TookTooLong);
    EXPECT_LT(clock.elapsed(), 3000);

    // A reply that claims tens of megabytes, every number consistent, then stops coming: the
    // deadline ends the wait for the rest.
    clock.restart();
    EXPECT_EQ(decodeFailure("large-then-stalls", 400), OpenFailure::TookTooLong);
    EXPECT_LT(clock.elapsed(), 3000);

    // Each task answered well but slowly: the deadline is one for the picture, not one per task.
    DecoderSession slow;
    slow.setDeadline(400);
    ASSERT_TRUE(slow.start(QByteArray("slow-every-task")));
    std::optional<OpenFailure> why;
    int answered = 0;
    for (int task = 0; task < 10 && !why; ++task) {
        const auto outcome = slow.decode(100);
        answered += outcome.value.has_value();
        why = outcome.why;
    }
    EXPECT_EQ(why, OpenFailure::TookTooLong);
    EXPECT_LT(answered, 3);
    EXPECT_EQ(runningStandIns(), 0);
}

TEST(DecoderSession, CancelFromAnotherThreadEndsTheTaskAtOnce) {
    FaultyHelper faulty;
    DecoderSession session;
    ASSERT_TRUE(session.start("hang"));
    QElapsedTimer clock;
    clock.start();
    std::thread canceller([&session] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        DecoderSession::cancelAll();
    });
    EXPECT_FALSE(session.decode(100).value);
    canceller.join();
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST(DecoderSession, ALaterLoadEndsTheHelperOfAnEarlierOne) {
    FaultyHelper faulty;
    EmojiEditor editor;
    editor.setBackgroundWork(true);
    editor.load(fault("hang"));
    editor.load(fault("ok"));
    QSignalSpy idle(&editor, &EmojiEditor::busyChanged);
    ASSERT_TRUE(idle.wait(5000));
    ASSERT_TRUE(editor.image());
    EXPECT_EQ(editor.emojiName(), QStringLiteral("ok"));
    EXPECT_EQ(runningStandIns(), 0);
}

TEST(DecoderSession, AFailedFinalDecodeBringsBackThePictureAndFramingBefore) {
    FaultyHelper faulty;
    EmojiEditor editor;
    openGoodPicture(editor);
    const PicturePtr before = editor.image();
    ASSERT_TRUE(before);
    editor.setZoom(2);
    editor.setOffset({40, 0});
    const QPointF offset = editor.offset();

    QSignalSpy pictures(&editor, &EmojiEditor::newPicture);
    editor.load(fault("first-look-then-abort"));
    // The first look, then what was there before it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pictures.count() >= 2; }, 5000));
    EXPECT_EQ(editor.image(), before);
    EXPECT_EQ(editor.zoom(), 2);
    EXPECT_EQ(editor.offset(), offset);
    EXPECT_EQ(editor.emojiName(), QStringLiteral("ok"));
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't open first-look-then-abort: damaged"));
    // And no redo brings back the picture that failed.
    EXPECT_FALSE(editor.undoStack()->canRedo());
}

TEST(DecoderSession, FormatsOfLoadableModulesStillOpenInTheHelper) {
    // The helper starts libvips without its loadable modules unless the picture needs one.
    const auto image = cropling::test::makeImage(48, 32, 3, [](int x, int y, int b) { return (x * 5 + y * 3 + b * 70) & 255; });
    for (const char* suffix : {".jpg", ".png", ".heic"}) {
        DecoderSession session;
        ASSERT_TRUE(session.start(cropling::test::encode(image, suffix))) << suffix;
        const auto picture = session.decode(0);
        ASSERT_TRUE(picture.value) << suffix;
        EXPECT_EQ((*picture.value)->fullSize(), QSize(48, 32)) << suffix;
    }
}

TEST(DecoderSession, AFirstLookSupersededOrUndoneLeavesNothingBehind) {
    FaultyHelper faulty;
    EmojiEditor editor;
    openGoodPicture(editor);
    const PicturePtr before = editor.image();
    ASSERT_TRUE(before);
    const QUrl slow = fault("first-look-then-hang");
    const QUrl missing = fault("missing.png");

    // A newer picture supersedes one still at its first look: the first look goes at once.
    editor.load(slow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.isFirstLook(); }, 5000));
    editor.load(missing);
    EXPECT_EQ(editor.image(), before);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !editor.isBusy(); }, 5000));
    EXPECT_EQ(editor.status()->message(), QStringLiteral("Couldn't open missing.png: no such file"));
    EXPECT_FALSE(editor.undoStack()->canRedo());

    // Undone by the user before it was superseded, it is not offered for redo either.
    editor.load(slow);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.isFirstLook(); }, 5000));
    editor.undoStack()->undo();
    EXPECT_EQ(editor.image(), before);
    editor.load(missing);
    EXPECT_FALSE(editor.undoStack()->canRedo());
    EXPECT_EQ(editor.image(), before);
}

TEST(DecoderSession, AHelperWaitsForItsShareOfMemoryRatherThanGoPastThePool) {
    FaultyHelper faulty;
    MemoryBudget& budget = DecoderSession::memoryBudget();
    // A pool that holds one helper.
    const PoolOf small(helperMemory::kLeastShareBytes * 2);
    auto first = std::make_unique<DecoderSession>();
    ASSERT_TRUE(first->start(QByteArray("hang")));
    auto second = std::make_unique<DecoderSession>();
    DecoderSession third;
    std::optional<bool> opened;
    std::thread later([&] {
        opened = second->start(QByteArray("ok")) && second->decode(100).value.has_value();
    });
    std::thread cancelled([&] { EXPECT_FALSE(third.start(QByteArray("ok"))); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return budget.waiting() == 2; }, 5000));
    EXPECT_EQ(runningStandIns(), 1);
    // One that gives up waiting starts nothing; one whose share comes free goes on.
    third.cancel();
    cancelled.join();
    first.reset();
    later.join();
    EXPECT_EQ(opened, true);
    second.reset();
    EXPECT_EQ(budget.inUse(), 0);
}

TEST(DecoderSession, AHelperShortOfMemoryOnAPartShareIsStartedAgainWithTheWhole) {
    FaultyHelper faulty;
    MemoryBudget& budget = DecoderSession::memoryBudget();
    // Others hold all but the least share, too little for this picture's 300 MB.
    const std::atomic<bool> never = false;
    const std::int64_t others = budget.admit(helperMemory::kPoolBytes - helperMemory::kLeastShareBytes, true, never);
    auto session = std::make_unique<DecoderSession>();
    Outcome<std::shared_ptr<const Picture>> outcome;
    std::thread decoding([&] {
        if (session->start(QByteArray("needs-300-mb")))
            outcome = session->decode(100);
    });
    // The first helper runs out within its share; the second waits for the whole one.
    EXPECT_TRUE(QTest::qWaitFor([&] { return budget.waiting() == 1; }, 5000));
    budget.release(others);
    decoding.join();
    EXPECT_TRUE(outcome.value) << int(outcome.why.value_or(OpenFailure::NotFound));
    session.reset();
    EXPECT_EQ(budget.inUse(), 0);

    // A picture beyond a bound is refused at once on the same part share: no helper is started
    // again for it, and nothing waits for the whole share.
    const std::int64_t again = budget.admit(helperMemory::kPoolBytes - helperMemory::kLeastShareBytes, true, never);
    std::atomic<bool> refused = false;
    std::thread refusing([&] {
        DecoderSession bounded;
        refused = bounded.start(QByteArray("beyond-a-bound")) && bounded.decode(100).why == OpenFailure::TooLarge;
    });
    const bool atOnce = QTest::qWaitFor([&] { return refused.load(); }, 5000);
    budget.release(again);
    refusing.join();
    EXPECT_TRUE(atOnce && refused);
}

TEST(DecoderSession, AHelperWorksOnNoMoreThreadsThanItsShareHolds) {
    // Asked for 512 threads (as a machine of that many cores would), a helper that made them all
    // would spend more than its share on their stacks alone, and fail on any animation.
    const QByteArray webp = cropling::test::readFile(cropling::test::ffmpegOutput(
        "threads.webp", {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("testsrc=size=400x400:rate=20"),
                         QStringLiteral("-t"), QStringLiteral("2"), QStringLiteral("-loop"), QStringLiteral("0")}));
    ASSERT_FALSE(webp.isEmpty());
    qputenv("VIPS_CONCURRENCY", "512");
    DecoderSession session;
    const bool started = session.start(webp);
    const auto frames = started ? session.frames(0) : decltype(session.frames(0)){};
    qunsetenv("VIPS_CONCURRENCY");
    ASSERT_TRUE(started);
    EXPECT_TRUE(frames.value) << int(frames.why.value_or(OpenFailure::NotFound));
}
