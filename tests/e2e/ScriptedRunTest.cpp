#include "Fixtures.h"
#include "X11Session.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace cropling::e2e;

namespace {

struct ScriptRun {
    ToolResult result;
    QByteArray png; // what landed at the output path, empty if nothing
};

ScriptRun scripted(QList<std::pair<QString, QString>> variables, bool withDisplay = true, const QString& workingDirectory = {}) {
    static int counter = 0;
    const QString output = QDir(scratchFolder()).filePath(QStringLiteral("out-%1.png").arg(++counter));
    bool hasSave = false;
    for (auto& [name, value] : variables) {
        if (name == QStringLiteral("CROPLING_TEST_SAVE")) {
            hasSave = true;
            if (value.isEmpty())
                value = output;
        }
    }
    QProcessEnvironment env = appEnvironment(variables);
    if (!withDisplay)
        env.remove(QStringLiteral("DISPLAY"));
    ScriptRun run;
    run.result = runTool(appPath(), {}, env, 20000, workingDirectory);
    QFile file(hasSave ? env.value(QStringLiteral("CROPLING_TEST_SAVE")) : QString());
    if (hasSave && file.open(QIODevice::ReadOnly))
        run.png = file.readAll();
    return run;
}

QString scriptPhoto() {
    static const QString path = writeLandscape(QStringLiteral("Script Photo.png"), 800, 600);
    return path;
}

ScriptRun withZoom(const QString& zoom) {
    return scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", ""}, {"CROPLING_TEST_ZOOM", zoom}});
}

} // namespace

TEST(ScriptedProcess, NumberFormsAreAcceptedOrTreatedAsAbsent) {
    const ScriptRun plain = scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", ""}});
    ASSERT_EQ(plain.result.exitCode, 0);
    ASSERT_FALSE(plain.png.isEmpty());
    EXPECT_TRUE(plain.result.err.isEmpty());

    const ScriptRun two = withZoom(QStringLiteral("2e0"));
    ASSERT_FALSE(two.png.isEmpty());
    EXPECT_NE(two.png, plain.png);
    EXPECT_EQ(withZoom(QStringLiteral("0x1p1")).png, two.png);
    EXPECT_NE(withZoom(QStringLiteral("1.5")).png, plain.png);
    EXPECT_NE(withZoom(QStringLiteral("+0.75")).png, plain.png);

    for (const QString& rejected : {QStringLiteral(" 2"), QStringLiteral("2 "), QStringLiteral("2,5"), QStringLiteral("")}) {
        const ScriptRun run = withZoom(rejected);
        EXPECT_EQ(run.result.exitCode, 0) << '"' << rejected.toStdString() << '"';
        EXPECT_EQ(run.png, plain.png) << '"' << rejected.toStdString() << '"';
    }
}

TEST(ScriptedProcess, NumbersAreReadInTheCLocaleWhateverTheUsersLocale) {
    const ScriptRun c = withZoom(QStringLiteral("1.5"));
    const ScriptRun german = scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", ""}, {"CROPLING_TEST_ZOOM", "1.5"},
                                 {"LC_ALL", "de_DE.UTF-8"}, {"LANG", "de_DE.UTF-8"}});
    ASSERT_EQ(german.result.exitCode, 0);
    EXPECT_EQ(german.png, c.png);
}

TEST(ScriptedProcess, OffsetNeedsBothHalvesAndIsClamped) {
    const ScriptRun plain = scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", ""}});
    EXPECT_EQ(scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", ""}, {"CROPLING_TEST_OX", "40"}}).png, plain.png);
    // 800 x 600 at zoom 1 may move 56.67 pixels sideways: anything further is the same picture.
    const ScriptRun far = scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", ""}, {"CROPLING_TEST_OX", "500"}, {"CROPLING_TEST_OY", "0"}});
    const ScriptRun limit = scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", ""}, {"CROPLING_TEST_OX", "56.666666666666667"}, {"CROPLING_TEST_OY", "0"}});
    EXPECT_NE(far.png, plain.png);
    EXPECT_EQ(far.png, limit.png);
}

TEST(ScriptedProcess, FailuresExitOneWithOneLineAndNoFile) {
    const ScriptRun nan = withZoom(QStringLiteral("nan"));
    EXPECT_EQ(nan.result.exitCode, 1);
    EXPECT_TRUE(nan.png.isEmpty());
    EXPECT_EQ(nan.result.err, QByteArray("cropling: Couldn't render the emoji.\n"));

    const ScriptRun missingFolder = scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", scratchFolder() + "/nowhere/x.png"}});
    EXPECT_EQ(missingFolder.result.exitCode, 1);
    EXPECT_EQ(missingFolder.result.err, QByteArray("cropling: Save failed: No such file or directory\n"));

    const ScriptRun notPicture = scripted({{"CROPLING_OPEN", "/etc/hostname"}, {"CROPLING_TEST_SAVE", ""}});
    EXPECT_EQ(notPicture.result.exitCode, 1);
    EXPECT_EQ(notPicture.result.err, QByteArray("cropling: Couldn't open /etc/hostname: not a picture Cropling can open\n"));
    EXPECT_TRUE(notPicture.png.isEmpty());
}

TEST(ScriptedProcess, ZoomBelowOneKeepsAMarginAndHeadlessRunsWork) {
    const ScriptRun half = withZoom(QStringLiteral("0.5"));
    ASSERT_EQ(half.result.exitCode, 0);
    const QImage fitted = decodePng(half.png);
    EXPECT_EQ(fitted.size(), QSize(128, 128));
    EXPECT_EQ(qAlpha(fitted.pixel(0, 0)), 0);

    // No display at all: a save still works, and gives the very same file.
    const ScriptRun headless = scripted({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", ""}, {"CROPLING_TEST_ZOOM", "0.5"}}, false);
    EXPECT_EQ(headless.result.exitCode, 0) << headless.result.err.constData();
    EXPECT_EQ(headless.png, half.png);

    const ScriptRun interactive = scripted({}, false);
    EXPECT_EQ(interactive.result.exitCode, 1);
    EXPECT_EQ(interactive.result.err.count('\n'), 1);
}

TEST(ScriptedProcess, RelativePathsResolveAgainstTheWorkingDirectory) {
    QDir(scratchFolder()).mkpath(QStringLiteral("rel"));
    QFile::copy(scriptPhoto(), scratchFolder() + QStringLiteral("/rel/in.png"));
    const ScriptRun run = scripted({{"CROPLING_OPEN", "in.png"}, {"CROPLING_TEST_SAVE", "out.png"}}, true, scratchFolder() + "/rel");
    EXPECT_EQ(run.result.exitCode, 0);
    EXPECT_TRUE(QFile::exists(scratchFolder() + QStringLiteral("/rel/out.png")));
}

TEST(ScriptedProcess, AFileSizeLimitOrAForeignPlatformStillEndsInOneLine) {
    // A save cut short by the shell's file-size limit (1 KB) fails cleanly and leaves nothing.
    const QString folder = scratchFolder() + QStringLiteral("/limited");
    QDir().mkpath(folder);
    QProcessEnvironment env = appEnvironment({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", folder + "/big.png"}});
    const ToolResult limited = runTool(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("ulimit -f 1; exec \"$0\""), appPath()}, env);
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_EQ(limited.err, QByteArray("cropling: Save failed: File too large\n"));
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // A batch save needs no platform at all, whatever the environment names.
    env = appEnvironment({{"CROPLING_OPEN", scriptPhoto()}, {"CROPLING_TEST_SAVE", folder + "/ok.png"}, {"QT_QPA_PLATFORM", "wayland"}});
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    const ToolResult foreign = runTool(appPath(), {}, env);
    EXPECT_EQ(foreign.exitCode, 0) << foreign.err.constData();
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/ok.png")));
}
