#include "PictureFixtures.h"

#include "app/ContentView.h"
#include "export/ExportText.h"
#include "export/FileWriting.h"
#include "intake/LocalPath.h"

#include <QClipboard>
#include <QFile>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace cropling;
using namespace cropling::test;

namespace {

QByteArray readFile(const QByteArray& path) {
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void loadSample(ContentView& editor) {
    editor.load(urlFromLocalPath(writeTempFile(
        "sample.png", encode(makeImage(200, 160, 3, [](int x, int y, int b) { return (x + y + b * 50) & 255; }), ".png"))));
    ASSERT_TRUE(editor.image());
}

} // namespace

TEST(ExportText, KilobytesRoundHalfToEven) {
    const std::pair<long long, const char*> rows[] = {{511, "0"},  {512, "0"},  {1535, "1"}, {1536, "2"},
                                                       {2560, "2"}, {2561, "3"}, {10240, "10"}, {12288, "12"}};
    for (const auto& [bytes, text] : rows)
        EXPECT_EQ(kilobytes(bytes), QString::fromLatin1(text)) << bytes;
    EXPECT_EQ(savedMessage(QStringLiteral("cat.png"), 2561), QStringLiteral("Saved cat.png — 128×128, 3 KB"));
    EXPECT_EQ(copiedMessage(QString()), QStringLiteral("Copied emoji.png to clipboard — 128×128"));
    EXPECT_EQ(exportFileName(QStringLiteral(" My Name ")), QStringLiteral(" My Name .png"));
}

TEST(FileWriting, AFailedWriteLeavesTheOldFileAndNoPartialFile) {
    const QByteArray folder = tempFolder() + "/atomic";
    ::mkdir(folder.constData(), 0755);
    const QByteArray target = folder + "/emoji.png";
    ASSERT_FALSE(writeFileAtomically(target, "old contents"));

    // A file-size limit makes the write fail the way a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit tight = previous;
    tight.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &tight);
    const auto error = writeFileAtomically(target, QByteArray(5000, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &previous);

    ASSERT_TRUE(error);
    EXPECT_FALSE(error->isEmpty());
    EXPECT_EQ(readFile(target), QByteArray("old contents"));
    EXPECT_EQ(QDir(QFile::decodeName(folder)).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST(FileWriting, PrivateFolderChecks) {
    const QByteArray base = tempFolder() + "/private";
    ::mkdir(base.constData(), 0700);
    EXPECT_TRUE(isPrivateFolder(base));

    const QByteArray open = tempFolder() + "/world-writable";
    ::mkdir(open.constData(), 0700);
    ::chmod(open.constData(), 0777);
    EXPECT_FALSE(isPrivateFolder(open));

    const QByteArray link = tempFolder() + "/link";
    ::symlink(base.constData(), link.constData());
    EXPECT_FALSE(isPrivateFolder(link));

    if (::getuid() == 0) {
        const QByteArray foreign = tempFolder() + "/foreign";
        ::mkdir(foreign.constData(), 0700);
        ASSERT_EQ(::chown(foreign.constData(), 65534, 65534), 0);
        EXPECT_FALSE(isPrivateFolder(foreign));
    }

    // A pre-planted link where the folder should be is refused, not followed.
    qputenv("XDG_RUNTIME_DIR", base);
    const QByteArray planted = base + "/Cropling";
    ::symlink(open.constData(), planted.constData());
    EXPECT_FALSE(privateExportFolder());
    ::unlink(planted.constData());
    const auto folder = privateExportFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, planted);
    EXPECT_TRUE(isPrivateFolder(*folder));

    EXPECT_FALSE(temporaryExportPath(*folder, QStringLiteral("../x.png")));
    EXPECT_FALSE(temporaryExportPath(*folder, QString::fromUtf8("a\0b.png", 7)));
    EXPECT_EQ(temporaryExportPath(*folder, QStringLiteral("ok.png")), *folder + "/ok.png");
}

TEST(SaveFlow, CancelConfirmRenameAndFailure) {
    ContentView editor;
    QString suggested;
    std::optional<QByteArray> answer;
    editor.setSaveDialog([&](const QString& name) {
        suggested = name;
        return answer;
    });

    editor.save();
    EXPECT_EQ(editor.saveMessage(), QStringLiteral("Couldn't render the emoji."));
    EXPECT_TRUE(suggested.isEmpty()); // no dialog without a picture

    loadSample(editor);
    editor.setEmojiName(QString());
    answer = tempFolder() + "/Renamed Party.png";
    editor.save();
    EXPECT_EQ(suggested, QStringLiteral("emoji.png"));
    const QByteArray saved = readFile(*answer);
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_EQ(saved, *editor.renderEmojiPNG(128));
    EXPECT_EQ(editor.saveMessage(), savedMessage(QStringLiteral("Renamed Party.png"), saved.size()));

    const auto before = editor.saveMessage();
    answer.reset();
    editor.save();
    EXPECT_EQ(editor.saveMessage(), before);

    answer = tempFolder() + "/missing-folder/x.png";
    editor.save();
    EXPECT_EQ(editor.saveMessage(), QStringLiteral("Save failed: No such file or directory"));
}

TEST(CopyFlow, PutsPngAndFileOnTheClipboard) {
    const QByteArray runtime = tempFolder() + "/runtime";
    ::mkdir(runtime.constData(), 0700);
    qputenv("XDG_RUNTIME_DIR", runtime);

    ContentView editor;
    loadSample(editor);
    editor.setEmojiName(QStringLiteral("party parrot"));
    editor.copyToClipboard();
    EXPECT_EQ(editor.saveMessage(), QStringLiteral("Copied party parrot.png to clipboard — 128×128"));
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    const QByteArray png = *editor.renderEmojiPNG(128);
    EXPECT_EQ(data->data(QStringLiteral("image/png")), png);
    ASSERT_EQ(data->urls().size(), 1);
    const QByteArray file = localPathBytes(data->urls().constFirst());
    EXPECT_EQ(file, runtime + "/Cropling/party parrot.png");
    EXPECT_EQ(readFile(file), png);
    EXPECT_EQ(data->data(QStringLiteral("x-special/gnome-copied-files")),
              "copy\n" + data->urls().constFirst().toEncoded());

    // A name that would leave the folder writes no file; the PNG data still goes out.
    editor.setEmojiName(QStringLiteral("../escape"));
    editor.copyToClipboard();
    EXPECT_EQ(editor.saveMessage(), QStringLiteral("Copied ../escape.png to clipboard — 128×128"));
    data = QGuiApplication::clipboard()->mimeData();
    EXPECT_TRUE(data->urls().isEmpty());
    EXPECT_EQ(data->data(QStringLiteral("image/png")), png);
    EXPECT_FALSE(QFile::exists(QFile::decodeName(runtime + "/escape.png")));
}

TEST(CopyFlow, NoPictureLeavesTheClipboardAlone) {
    auto* marker = new QMimeData;
    marker->setText(QStringLiteral("keep me"));
    QGuiApplication::clipboard()->setMimeData(marker);
    ContentView editor;
    editor.copyToClipboard();
    EXPECT_EQ(editor.saveMessage(), QStringLiteral("Couldn't render the emoji."));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("keep me"));
}
