#include "Fixtures.h"
#include "X11Session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

using namespace cropling::e2e;

namespace {

QString photo() {
    static const QString path = writeLandscape(QStringLiteral("Command Line.png"), 640, 480);
    return path;
}

QByteArray lines(const QByteArray& text) { return text.trimmed(); }

} // namespace

TEST(CommandLine, HelpVersionAndBadArgumentsAnswerWithoutAWindow) {
    QProcessEnvironment noDisplay = appEnvironment();
    noDisplay.remove(QStringLiteral("DISPLAY"));
    const ToolResult help = runTool(appPath(), {QStringLiteral("--help")}, noDisplay);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("render")) << help.out.constData();
    const ToolResult version = runTool(appPath(), {QStringLiteral("--version")}, noDisplay);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("cropling ")) << version.out.constData();
    for (const QStringList& bad : {QStringList{QStringLiteral("--bogus")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--zoom"), QStringLiteral("two")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--zoom"), QStringLiteral("0"),
                                               QStringLiteral("-o"), QStringLiteral("-")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("-o"), QStringLiteral("a.png"),
                                               QStringLiteral("-o"), QStringLiteral("b.png")},
                                   QStringList{QStringLiteral("render"), photo(), photo(), QStringLiteral("-o"), QStringLiteral("one.png")},
                                   QStringList{QStringLiteral("render"), photo()},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--target"), QStringLiteral("myspace"),
                                               QStringLiteral("-o"), QStringLiteral("-")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--start"), QStringLiteral("2"),
                                               QStringLiteral("--end"), QStringLiteral("1"), QStringLiteral("-o"), QStringLiteral("-")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--start"), QStringLiteral("0:75"),
                                               QStringLiteral("-o"), QStringLiteral("-")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--speed"), QStringLiteral("3"),
                                               QStringLiteral("-o"), QStringLiteral("-")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--end"), QStringLiteral("0"),
                                               QStringLiteral("-o"), QStringLiteral("-")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--speed"), QStringLiteral("0x1"),
                                               QStringLiteral("-o"), QStringLiteral("-")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--speed"), QStringLiteral("fast"),
                                               QStringLiteral("-o"), QStringLiteral("x.gif")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--rotate"), QStringLiteral("45"),
                                               QStringLiteral("-o"), QStringLiteral("-")},
                                   QStringList{QStringLiteral("render"), photo(), QStringLiteral("--effect"), QStringLiteral("sparkle"),
                                               QStringLiteral("-o"), QStringLiteral("x.gif")}}) {
        const ToolResult run = runTool(appPath(), bad, noDisplay);
        EXPECT_EQ(run.exitCode, 2) << bad.join(u' ').toStdString();
        EXPECT_EQ(lines(run.err).count('\n'), 0) << run.err.constData();
        EXPECT_TRUE(run.err.startsWith("cropling: ")) << run.err.constData();
        if (bad.contains(QStringLiteral("--target"))) {
            EXPECT_TRUE(run.err.contains("slack, discord")) << run.err.constData();
        }
        if (bad.contains(QStringLiteral("--effect"))) {
            EXPECT_TRUE(run.err.contains("party, shake, spin, pulse")) << run.err.constData();
        }
    }
}

TEST(CommandLine, RenderGivesTheScriptedSavesPixelsToAFileOrStandardOutput) {
    const QString saved = scratchFolder() + QStringLiteral("/scripted.png");
    const ToolResult scripted = runTool(appPath(), {}, appEnvironment({{"CROPLING_OPEN", photo()}, {"CROPLING_TEST_SAVE", saved},
                                                                       {"CROPLING_TEST_ZOOM", "2"}, {"CROPLING_TEST_OX", "30"},
                                                                       {"CROPLING_TEST_OY", "-12"}}));
    ASSERT_EQ(scripted.exitCode, 0);
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray expected = file.readAll();

    const ToolResult piped = runTool(appPath(), {QStringLiteral("render"), photo(), QStringLiteral("-o"), QStringLiteral("-"),
                                                 QStringLiteral("--zoom"), QStringLiteral("2"), QStringLiteral("--offset"),
                                                 QStringLiteral("30,-12")});
    EXPECT_EQ(piped.exitCode, 0) << piped.err.constData();
    EXPECT_EQ(piped.out, expected);
    // /dev/stdout is a pipe here too, reached through a link that names no path.
    const ToolResult named = runTool(appPath(), {QStringLiteral("render"), photo(), QStringLiteral("-o"), QStringLiteral("/dev/stdout"),
                                                QStringLiteral("--zoom"), QStringLiteral("2"), QStringLiteral("--offset"),
                                                QStringLiteral("30,-12")});
    EXPECT_EQ(named.exitCode, 0) << named.err.constData();
    EXPECT_EQ(named.out, expected);

    const ToolResult sized = runTool(appPath(), {QStringLiteral("render"), QUrl::fromLocalFile(photo()).toString(),
                                                 QStringLiteral("-o"), QStringLiteral("-"), QStringLiteral("--size"), QStringLiteral("64")});
    EXPECT_EQ(decodePng(sized.out).size(), QSize(64, 64));
}

TEST(CommandLine, ABatchWritesEachEmojiUnderItsNameAndFailsOnlyTheBadFile) {
    const QString folder = scratchFolder() + QStringLiteral("/batch");
    QDir().mkpath(folder);
    const QString second = writeLandscape(QStringLiteral("Second Shot.png"), 300, 300);
    const QString bad = scratchFolder() + QStringLiteral("/notes.txt");
    QFile text(bad);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("no picture here");
    text.close();
    // Two failures of one file name: each line names the picture as it was given.
    const QString missing = scratchFolder() + QStringLiteral("/nope/notes.txt");
    const ToolResult run =
        runTool(appPath(), {QStringLiteral("render"), photo(), bad, second, missing, QStringLiteral("-o"), folder + u'/'});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("cropling: Couldn't open " + bad.toUtf8() + ": not a picture Cropling can open\n")) << run.err.constData();
    EXPECT_TRUE(run.err.contains("cropling: Couldn't open " + missing.toUtf8() + ": no such file\n")) << run.err.constData();
    EXPECT_TRUE(run.err.endsWith("cropling: 2 written, 2 failed\n")) << run.err.constData();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{QStringLiteral("command-line.png"), QStringLiteral("second-shot.png")}));

    // A picture whose name is near the file system's 255 bytes gets an emoji name the chat service
    // takes, 100 characters at most, and is written.
    const QString longName = writeLandscape(QString(250, u'a') + QStringLiteral(".png"), 200, 200);
    const QString longFolder = scratchFolder() + QStringLiteral("/long");
    const ToolResult longRun = runTool(appPath(), {QStringLiteral("render"), longName, photo(), QStringLiteral("-o"), longFolder + u'/'});
    EXPECT_EQ(longRun.exitCode, 0) << longRun.err.constData();
    EXPECT_TRUE(QFile::exists(longFolder + u'/' + QString(100, u'a') + QStringLiteral(".png")));
}

TEST(CommandLine, PicturesGivenAsUrlsOpenAWindowNamedAfterThem) {
    RunningApp app({QUrl::fromLocalFile(photo()).toString()});
    ASSERT_TRUE(waitFor([&] {
        return runTool(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), app.windowId()}).out.trimmed() ==
               QByteArray("Command Line.png — Cropling");
    }));
}

TEST(CommandLine, RenderNeverWritesOverAPictureOrOutOfItsFolder) {
    const QString folder = scratchFolder() + QStringLiteral("/own");
    QDir().mkpath(folder + QStringLiteral("/out"));
    const QString picture = folder + QStringLiteral("/photo.png");
    QFile::remove(picture);
    QFile::copy(photo(), picture);
    const auto contents = [](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray original = contents(picture);

    // Its own folder as the output: the emoji would be named photo.png, which is the picture.
    const ToolResult self = runTool(appPath(), {QStringLiteral("render"), picture, QStringLiteral("-o"), folder + u'/'});
    EXPECT_EQ(self.exitCode, 1);
    EXPECT_TRUE(self.err.contains("would replace the picture")) << self.err.constData();
    EXPECT_EQ(contents(picture), original);
    const ToolResult direct = runTool(appPath(), {QStringLiteral("render"), picture, QStringLiteral("-o"), picture});
    EXPECT_EQ(direct.exitCode, 1);
    EXPECT_EQ(contents(picture), original);
    // An output is the path it names, even one that looks like a URL; and standard output opened
    // on the picture is the picture.
    const QString urlLike = folder + QStringLiteral("/file:out.png");
    QFile::remove(urlLike);
    ASSERT_TRUE(QFile::link(picture, urlLike));
    EXPECT_EQ(runTool(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("cd \"$1\" && \"$0\" render photo.png -o file:out.png"),
                                               appPath(), folder}).exitCode, 1);
    EXPECT_EQ(runTool(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("\"$0\" render \"$1\" -o - 1<>\"$1\""), appPath(), picture})
                  .exitCode, 1);
    EXPECT_EQ(contents(picture), original);

    // A link in the output folder is replaced by the emoji, and what it pointed at stays as it was.
    const QString outside = folder + QStringLiteral("/outside.txt");
    QFile note(outside);
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("keep me");
    note.close();
    QFile::remove(folder + QStringLiteral("/out/photo.png"));
    ASSERT_TRUE(QFile::link(outside, folder + QStringLiteral("/out/photo.png")));
    const ToolResult linked = runTool(appPath(), {QStringLiteral("render"), picture, QStringLiteral("-o"), folder + QStringLiteral("/out/")});
    EXPECT_EQ(linked.exitCode, 0) << linked.err.constData();
    EXPECT_EQ(contents(outside), QByteArray("keep me"));
    EXPECT_FALSE(QFileInfo(folder + QStringLiteral("/out/photo.png")).isSymLink());
    EXPECT_EQ(decodePng(contents(folder + QStringLiteral("/out/photo.png"))).size(), QSize(128, 128));

    // A reader that goes away is a failure with one line, not a death by signal.
    const ToolResult closed = runTool(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("\"$0\" render \"$1\" -o - | true; exit ${PIPESTATUS[0]}"), appPath(), picture});
    EXPECT_EQ(closed.exitCode, 1);
    EXPECT_EQ(lines(closed.err).count('\n'), 0) << closed.err.constData();
    EXPECT_TRUE(QDir(folder).entryList({QStringLiteral(".cropling-*")}, QDir::Hidden | QDir::Files).isEmpty());
}

TEST(CommandLine, AutoFramingWithoutItsLibrarySaysSoAndWritesNothing) {
    const QString out = scratchFolder() + QStringLiteral("/auto.png");
    QFile::remove(out);
    const ToolResult missing = runTool(appPath(), {QStringLiteral("render"), photo(), QStringLiteral("--auto"), QStringLiteral("-o"), out},
                                       appEnvironment({{QStringLiteral("CROPLING_FACES"), QStringLiteral("/nonexistent/libfaces.so")}}));
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.startsWith("cropling: " + photo().toUtf8() + ": Couldn't frame the face: face detection isn't installed"))
        << missing.err.constData();
    EXPECT_FALSE(QFile::exists(out));
    // With it, the same run frames the picture (here no face: its busiest part) and writes the emoji.
    const ToolResult framed = runTool(appPath(), {QStringLiteral("render"), photo(), QStringLiteral("--auto"), QStringLiteral("-o"), out});
    EXPECT_EQ(framed.exitCode, 0) << framed.err.constData();
    EXPECT_TRUE(QFile::exists(out));
}

TEST(CommandLine, AFormatOnlyALibvipsModuleReadsStillRendersThoughTheProgramLoadsNoModule) {
    // The program hides libvips' modules from itself at start; its helpers must still get them,
    // with or without a libvips home the user set.
    const QString avif = scratchFolder() + QStringLiteral("/module.avif");
    QFile::remove(avif);
    const ToolResult made = runTool(QStringLiteral("vips"), {QStringLiteral("copy"), photo(), avif + QStringLiteral("[compression=av1]")});
    ASSERT_EQ(made.exitCode, 0) << made.err.constData();
    for (const QString& home : {QString(), QStringLiteral("/usr")}) {
        const QString out = scratchFolder() + QStringLiteral("/module.png");
        QFile::remove(out);
        QProcessEnvironment env = appEnvironment();
        if (!home.isEmpty())
            env.insert(QStringLiteral("VIPSHOME"), home);
        const ToolResult run = runTool(appPath(), {QStringLiteral("render"), avif, QStringLiteral("--auto"), QStringLiteral("-o"), out}, env);
        EXPECT_EQ(run.exitCode, 0) << run.err.constData();
        EXPECT_TRUE(QFile::exists(out));
    }
}

TEST(CommandLine, AnAnimationRendersAsAGifWithinItsBudgetOrAsItsFirstFrame) {
    const QString animation = QStringLiteral(CROPLING_FAULT_FILES "/../../fixtures/animation/restore-previous.gif");
    const QString folder = scratchFolder() + QStringLiteral("/animated");
    const ToolResult batch = runTool(appPath(), {QStringLiteral("render"), animation, photo(), QStringLiteral("-o"), folder + u'/'});
    EXPECT_EQ(batch.exitCode, 0) << batch.err.constData();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), (QStringList{QStringLiteral("command-line.png"), QStringLiteral("restore-previous.gif")}));
    QFile gif(folder + QStringLiteral("/restore-previous.gif"));
    ASSERT_TRUE(gif.open(QIODevice::ReadOnly));
    EXPECT_TRUE(gif.readAll().startsWith("GIF89a"));

    const ToolResult first = runTool(appPath(), {QStringLiteral("render"), animation, QStringLiteral("-o"), QStringLiteral("-")});
    EXPECT_EQ(decodePng(first.out).size(), QSize(128, 128));
    const ToolResult tiny = runTool(appPath(), {QStringLiteral("render"), animation, QStringLiteral("-o"), folder + QStringLiteral("/tiny.gif"),
                                                QStringLiteral("--max-bytes"), QStringLiteral("40")});
    EXPECT_EQ(tiny.exitCode, 1);
    // Every line names its picture, alone or in a batch.
    EXPECT_EQ(tiny.err, "cropling: " + animation.toUtf8() + ": Couldn't fit the animation in 40 bytes\n");
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/tiny.gif")));
    const ToolResult tinyBatch = runTool(appPath(), {QStringLiteral("render"), animation, photo(), QStringLiteral("-o"),
                                                     folder + QStringLiteral("/tiny/"), QStringLiteral("--max-bytes"), QStringLiteral("40")});
    EXPECT_TRUE(tinyBatch.err.contains("cropling: " + animation.toUtf8() + ": Couldn't fit the animation in 40 bytes\n"))
        << tinyBatch.err.constData();

    // The copy is served as a GIF, with its file, after the command has ended.
    const ToolResult copied = runTool(appPath(), {QStringLiteral("render"), animation, QStringLiteral("--copy")}, appEnvironment(), 10000);
    ASSERT_EQ(copied.exitCode, 0) << copied.err.constData();
    EXPECT_TRUE(clipboard(QStringLiteral("image/gif")).startsWith("GIF89a"));
    EXPECT_TRUE(clipboard(QStringLiteral("text/uri-list")).trimmed().endsWith(".gif"));
}
