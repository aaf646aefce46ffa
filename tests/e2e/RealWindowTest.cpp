#include "Fixtures.h"
#include "X11Session.h"

#include <QFile>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstring>

using namespace cropling::e2e;

namespace {

constexpr QRgb kDark = qRgb(217, 217, 217);
constexpr QRgb kLight = qRgb(242, 242, 242);

// A pixel where a dark cell meets light cells right and below and a dark one diagonally: somewhere
// on the checkerboard (its rounded corners keep this from being the corner itself).
QPoint somewhereOnTheBoard(const QImage& shot) {
    for (int y = 0; y + 10 < shot.height(); ++y)
        for (int x = 0; x + 10 < shot.width(); ++x)
            if (shot.pixel(x, y) == kDark && shot.pixel(x + 10, y) == kLight && shot.pixel(x, y + 10) == kLight &&
                shot.pixel(x + 10, y + 10) == kDark)
                return {x, y};
    return {-1, -1};
}

// How many pixels from `from` onward, stepping by `step`, are checkerboard grey.
int checkerRun(const QImage& shot, QPoint from, QPoint step) {
    int n = 0;
    for (QPoint p = from; shot.rect().contains(p) && (shot.pixel(p) == kDark || shot.pixel(p) == kLight); p += step)
        ++n;
    return n;
}

QString copiedFileName() {
    const QUrl url(QString::fromUtf8(clipboard(QStringLiteral("text/uri-list")).trimmed()));
    return url.fileName();
}

} // namespace

TEST(RealWindow, ShowsTheCheckerboardIn340PixelSquare) {
    RunningApp app;
    const QImage shot = app.screenshot();
    ASSERT_FALSE(shot.isNull());
    // The board runs from just inside the 1-pixel border on one side to just inside it on the other.
    const QPoint found = somewhereOnTheBoard(shot);
    ASSERT_NE(found, QPoint(-1, -1));
    const QPoint middle = found + QPoint(100, 100);
    const QPoint inner(middle.x() - checkerRun(shot, middle, {-1, 0}) + 1, middle.y() - checkerRun(shot, middle, {0, -1}) + 1);
    const QPoint square = inner - QPoint(1, 1);
    EXPECT_EQ(checkerRun(shot, {inner.x(), middle.y()}, {1, 0}), 338);
    EXPECT_EQ(checkerRun(shot, {inner.x() + 30, inner.y()}, {0, 1}), 338); // clear of the centred placeholder
    EXPECT_EQ(shot.pixel(square + QPoint(5, 5)), kDark);
    EXPECT_EQ(shot.pixel(square + QPoint(15, 5)), kLight); // the cell at (10, 0) is light
    EXPECT_EQ(shot.pixel(square + QPoint(15, 15)), kDark);
    EXPECT_EQ(shot.pixel(square + QPoint(335, 335)), kDark);
    // The 24-pixel margin to the window's left edge.
    EXPECT_EQ(square.x(), 24);
}

TEST(RealWindow, PastesImageDataFromAnotherProgram) {
    RunningApp app;
    offerOnClipboard(writeLandscape(QStringLiteral("source.png"), 300, 200), QStringLiteral("image/png"));
    app.key(QStringLiteral("ctrl+v"));
    // Copy it back out once the paste has opened: the emoji carries the pasted picture's fixed name.
    ASSERT_TRUE(waitFor([&] {
        app.key(QStringLiteral("ctrl+c"));
        return copiedFileName() == QStringLiteral("pasted-emoji.png");
    }));
    const QImage png = decodePng(clipboard(QStringLiteral("image/png")));
    EXPECT_EQ(png.size(), QSize(128, 128));
    EXPECT_TRUE(png.hasAlphaChannel());
}

TEST(RealWindow, AClipboardOwnerThatNeverAnswersDoesNotHoldUpTheWindow) {
    RunningApp app;
    SilentClipboardOwner owner;
    app.key(QStringLiteral("ctrl+v"));
    // The window goes on answering while the paste waits: a new window opens at once.
    app.key(QStringLiteral("ctrl+n"));
    EXPECT_TRUE(waitFor([&] { return app.visibleWindows() == 2; }, 2000));
}

TEST(RealWindow, QuittingWhileAPictureDecodesEndsAtOnce) {
    // A decoding helper that never answers stands for a picture that takes long to decode.
    RunningApp app({QStringLiteral(CROPLING_FAULT_FILES "/hang")},
                   appEnvironment({{QStringLiteral("CROPLING_DECODER"), QStringLiteral(FAULTY_DECODER)}}));
    app.key(QStringLiteral("ctrl+q"));
    EXPECT_TRUE(app.waitForExit(2000));
}

TEST(RealWindow, DraggingPansThePictureOneToOneUpToTheLimit) {
    const QString photo = writeLandscape(QStringLiteral("Wide Field.png"));
    RunningApp app({photo});
    const QImage before = app.screenshot();
    // The loaded picture hides the checkerboard; find the square from the layout instead: it sits
    // 24 pixels from the left, under the heading, and its middle row is picture.
    const QPoint origin = app.windowOrigin();
    const QPoint start = origin + QPoint(24 + 170, before.height() / 2 - 40);
    app.focus();
    runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(start.x()), QString::number(start.y()),
                                        QStringLiteral("mousedown"), QStringLiteral("1")});
    for (int step = 1; step <= 10; ++step)
        runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(start.x() - step * 15),
                                            QString::number(start.y())});
    runTool(QStringLiteral("xdotool"), {QStringLiteral("mouseup"), QStringLiteral("1")});
    QThread::msleep(300);
    app.key(QStringLiteral("ctrl+c"));
    ASSERT_TRUE(waitFor([] { return copiedFileName() == QStringLiteral("wide-field.png"); }));
    const QImage dragged = decodePng(clipboard(QStringLiteral("image/png")));

    // 150 pixels to the left is past the limit of 56.67: the same as a scripted run asking for far more.
    const QString reference = scratchFolder() + QStringLiteral("/reference.png");
    const ToolResult run = runTool(appPath(), {}, appEnvironment({{"CROPLING_OPEN", photo}, {"CROPLING_TEST_SAVE", reference},
                                                                  {"CROPLING_TEST_OX", "-1000"}, {"CROPLING_TEST_OY", "0"}}));
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    QFile file(reference);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    // The window renders from its decoded picture, the scripted save from a reduced decode of the
    // file: the same framing, equal within the reduction's rounding.
    EXPECT_LT(meanDifference(dragged, decodePng(file.readAll())), 0.5);

    const ToolResult centred = runTool(appPath(), {}, appEnvironment({{"CROPLING_OPEN", photo}, {"CROPLING_TEST_SAVE", reference}}));
    ASSERT_EQ(centred.exitCode, 0);
    QFile centredFile(reference);
    ASSERT_TRUE(centredFile.open(QIODevice::ReadOnly));
    EXPECT_GT(meanDifference(dragged, decodePng(centredFile.readAll())), 5.0);
}

TEST(RealWindow, ScriptedCopyOutlivesTheProcessAndPastesBack) {
    const QString photo = writeLandscape(QStringLiteral("Party Parrot.png"), 500, 400);
    const QString unused = scratchFolder() + QStringLiteral("/unused.png");
    const ToolResult run = runTool(appPath(), {},
                                   appEnvironment({{"CROPLING_OPEN", photo}, {"CROPLING_TEST_SAVE", unused}, {"CROPLING_TEST_COPY", ""}}),
                                   10000);
    ASSERT_EQ(run.exitCode, 0) << run.err.constData();
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_FALSE(QFile::exists(unused));

    // The program has exited; the clipboard still answers.
    const QByteArray targets = clipboard(QStringLiteral("TARGETS"));
    EXPECT_TRUE(targets.contains("image/png"));
    EXPECT_TRUE(targets.contains("text/uri-list"));
    const QImage png = decodePng(clipboard(QStringLiteral("image/png")));
    EXPECT_EQ(png.size(), QSize(128, 128));
    EXPECT_TRUE(png.hasAlphaChannel());
    const QUrl file(QString::fromUtf8(clipboard(QStringLiteral("text/uri-list")).trimmed()));
    EXPECT_EQ(file.fileName(), QStringLiteral("party-parrot.png"));
    EXPECT_TRUE(QFile::exists(file.toLocalFile()));

    // Pasting in the app takes the file: copying again names the emoji after that file.
    RunningApp app;
    app.key(QStringLiteral("ctrl+v"));
    ASSERT_TRUE(waitFor([&] {
        app.key(QStringLiteral("ctrl+c"));
        return copiedFileName() == QStringLiteral("party-parrot.png");
    }));
    EXPECT_EQ(decodePng(clipboard(QStringLiteral("image/png"))), png);
}

TEST(RealWindow, AWindowsCopyOutlivesQuittingWithoutAPrivateFolder) {
    const QString photo = writeLandscape(QStringLiteral("Quit Copy.png"), 500, 400);
    // With no private folder to be had the copy still carries the PNG, just no file location.
    QProcessEnvironment env = appEnvironment({{"TMPDIR", "/dev/null"}, {"XDG_RUNTIME_DIR", "/dev/null"}});
    RunningApp app({photo}, env);
    // Copy is enabled once the picture has opened, which a busy machine may take a moment for.
    ASSERT_TRUE(waitFor([&] {
        app.key(QStringLiteral("ctrl+c"));
        return clipboard(QStringLiteral("TARGETS")).contains("image/png");
    }));
    app.key(QStringLiteral("ctrl+q"));
    ASSERT_TRUE(app.waitForExit());
    const QImage png = decodePng(clipboard(QStringLiteral("image/png")));
    EXPECT_EQ(png.size(), QSize(128, 128));
    EXPECT_FALSE(clipboard(QStringLiteral("TARGETS")).contains("text/uri-list"));
}

TEST(RealWindow, TheKeeperTakesNothingButItsParentsPipe) {
    // A path argument is no hand-over: the file stays and the keeper refuses at once.
    const QString victim = scratchFolder() + QStringLiteral("/victim.txt");
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();
    for (const QString& input : {QStringLiteral("/dev/null"), QStringLiteral("/dev/zero"), victim}) {
        const ToolResult run = runTool(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("exec \"$0\" --keep-clipboard \"$1\" < \"$2\""),
                                                               appPath(), victim, input},
                                       appEnvironment(), 10000);
        EXPECT_NE(run.exitCode, 0) << input.toStdString();
        EXPECT_NE(run.exitCode, -1) << input.toStdString() << " did not end";
    }
    EXPECT_TRUE(QFile::exists(victim));

    // A scripted copy whose caller reads its output to the end is not held up by the keeper,
    // which keeps none of the caller's descriptors.
    const QString photo = writeLandscape(QStringLiteral("Piped.png"), 300, 200);
    const ToolResult piped = runTool(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("( exec \"$0\" 5>&1 ) | cat"), appPath()},
                                     appEnvironment({{"CROPLING_OPEN", photo}, {"CROPLING_TEST_SAVE", scratchFolder() + "/x.png"},
                                                     {"CROPLING_TEST_COPY", ""}}),
                                     8000);
    EXPECT_EQ(piped.exitCode, 0) << piped.err.constData();
}

TEST(RealWindow, AtTwiceTheScaleTheWholeWindowStaysOnTheScreen) {
    QProcessEnvironment env = appEnvironment({{"QT_SCALE_FACTOR", "2"}});
    RunningApp app({}, env);
    const QByteArray geometry = runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), app.windowId()}).out;
    const QByteArray screen = runTool(QStringLiteral("xdotool"), {QStringLiteral("getdisplaygeometry")}).out.trimmed();
    const auto value = [&](const char* key) {
        for (const QByteArray& line : geometry.split('\n'))
            if (line.startsWith(key))
                return line.mid(qsizetype(std::strlen(key)) + 1).toInt();
        return -1;
    };
    const QList<QByteArray> size = screen.split(' ');
    ASSERT_EQ(size.size(), 2);
    EXPECT_LE(value("X") + value("WIDTH"), size[0].toInt());
    EXPECT_LE(value("Y") + value("HEIGHT"), size[1].toInt());
}
