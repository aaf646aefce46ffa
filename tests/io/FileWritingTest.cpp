#include "PictureFixtures.h"

#include "io/FileWriting.h"
#include "io/PrivateFolder.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

TEST(FileWriting, ReplacingKeepsWhatTheOldFileWas) {
    const QByteArray folder = tempFolder() + "/replace";
    ::mkdir(folder.constData(), 0755);

    // Permissions, and the owner where the process may change it.
    const QByteArray secret = folder + "/secret.png";
    ASSERT_TRUE(writeFileAtomically(secret, "old"));
    ::chmod(secret.constData(), 0600);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(secret.constData(), 65534, 65534), 0);
    }
    ASSERT_TRUE(writeFileAtomically(secret, "new"));
    struct stat info {};
    ASSERT_EQ(::stat(secret.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
    }
    EXPECT_EQ(readFile(secret), QByteArray("new"));

    // A link stays a link; the file it names is replaced.
    const QByteArray link = folder + "/link.png";
    ASSERT_EQ(::symlink("secret.png", link.constData()), 0);
    ASSERT_TRUE(writeFileAtomically(link, "through the link"));
    ASSERT_EQ(::lstat(link.constData(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(readFile(secret), QByteArray("through the link"));

    // A FIFO nobody reads fails at once and stays a FIFO; a folder is refused.
    const QByteArray fifo = folder + "/pipe.png";
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    QString error;
    EXPECT_FALSE(writeFileAtomically(fifo, "x", &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_EQ(::lstat(fifo.constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_FALSE(writeFileAtomically(folder, "x"));
    EXPECT_EQ(QDir(QFile::decodeName(folder)).entryList(QDir::Files | QDir::Hidden).filter(".cropling-").size(), 0);
}

TEST(FileWriting, AWritableFileInAClosedFolderIsRewrittenInPlace) {
    // The folder takes no new files from the writer: as root, the writer is a child process that
    // has become nobody; otherwise the folder is made read-only.
    char folderName[] = "/tmp/cropling-closed-XXXXXX";
    ASSERT_TRUE(::mkdtemp(folderName));
    const QByteArray folder(folderName), target = folder + "/emoji.png";
    ASSERT_TRUE(writeFileAtomically(target, "old contents"));
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chmod(folder.constData(), 0755), 0);
        ASSERT_EQ(::chown(target.constData(), 65534, 65534), 0);
    } else {
        ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    }
    const pid_t child = ::fork();
    if (child == 0) {
        if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        ::_exit(writeFileAtomically(target, "new") ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    ::chmod(folder.constData(), 0755);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(readFile(target), QByteArray("new"));
    ::unlink(target.constData());
    ::rmdir(folder.constData());
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

    for (const QString& name : {QStringLiteral("../x"), QString::fromUtf8("a\0b", 3)})
        EXPECT_FALSE(temporaryExportPath(*folder, name)) << name.toStdString();
    EXPECT_EQ(temporaryExportPath(*folder, QStringLiteral("ok")), *folder + "/ok.png");
    // Dots are names like any other once ".png" follows them.
    EXPECT_EQ(temporaryExportPath(*folder, QStringLiteral(".")), *folder + "/..png");
    EXPECT_EQ(temporaryExportPath(*folder, QStringLiteral("..")), *folder + "/...png");
}
