#include "PictureFixtures.h"

#include "io/FileWriting.h"
#include "io/PrivateFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace cropling;
using namespace cropling::test;

TEST(FileWriting, AFailedWriteLeavesTheOldFileAndNoPartialFile) {
    const QByteArray folder = tempFolder() + "/atomic";
    ::mkdir(folder.constData(), 0755);
    const QByteArray target = folder + "/emoji.png";
    ASSERT_TRUE(writeFileAtomically(target, "old contents"));

    // A file-size limit makes the write fail the way a full disk does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit tight = previous;
    tight.rlim_cur = 1000;
    ::setrlimit(RLIMIT_FSIZE, &tight);
    QString error;
    const bool written = writeFileAtomically(target, QByteArray(5000, 'x'), &error);
    ::setrlimit(RLIMIT_FSIZE, &previous);

    ASSERT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
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
