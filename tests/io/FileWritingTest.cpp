#include "PictureFixtures.h"

#include "io/FileWriting.h"
#include "io/PrivateFolder.h"
#include "io/TemporaryFiles.h"

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

    // A new file gets the mode new files get, not a private one.
    const QByteArray fresh = folder + "/fresh.png";
    const mode_t mask = ::umask(022);
    ASSERT_EQ(writeFile(fresh, "new"), WriteResult::Written);
    ::umask(mask);
    ASSERT_EQ(::stat(fresh.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);

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

TEST(FileWriting, WhatIsAtTheNameWhenWritingDecidesNotWhatWasThereBefore) {
    const QByteArray folder = tempFolder() + "/kept";
    ::mkdir(folder.constData(), 0755);
    const QByteArray picture = folder + "/photo.jpg";
    ASSERT_TRUE(writeFileAtomically(picture, "the picture"));
    const std::vector<FileIdentity> keep{*identityOf(picture)};
    const QByteArray output = folder + "/emoji.png";

    // A link to the picture, or a second name of it, put at the output while the emoji was made.
    for (const AtTarget mode : {AtTarget::FollowLinks, AtTarget::ReplaceAnyLink}) {
        ::unlink(output.constData());
        ASSERT_EQ(::symlink("photo.jpg", output.constData()), 0);
        const WriteResult throughLink = writeFile(output, "emoji", nullptr, mode, keep);
        // Named by the user, a link is followed and refused; in a folder being filled it is only
        // a name, replaced by the new file.
        EXPECT_EQ(throughLink, mode == AtTarget::FollowLinks ? WriteResult::WouldReplaceKept : WriteResult::Written);
        EXPECT_EQ(readFile(picture), QByteArray("the picture"));
        ::unlink(output.constData());
        ASSERT_EQ(::link(picture.constData(), output.constData()), 0);
        EXPECT_EQ(writeFile(output, "emoji", nullptr, mode, keep), WriteResult::WouldReplaceKept);
        EXPECT_EQ(readFile(picture), QByteArray("the picture"));
    }
    // A file of another device that happens to have the output's inode number is another file.
    ::unlink(output.constData());
    ASSERT_TRUE(writeFileAtomically(output, "old emoji"));
    const FileIdentity output0 = *identityOf(output);
    const std::vector<FileIdentity> elsewhere{FileIdentity{output0.device + 1, output0.inode}};
    EXPECT_EQ(writeFile(output, "emoji", nullptr, AtTarget::FollowLinks, elsewhere), WriteResult::Written);
    // Nothing is left behind by a refused write.
    EXPECT_EQ(QDir(QFile::decodeName(folder)).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // A name that was no link when the user gave it: a link put there since to any other file is
    // replaced, not written through.
    const QByteArray other = folder + "/other.txt";
    ASSERT_TRUE(writeFileAtomically(other, "someone's file"));
    ::unlink(output.constData());
    const AtTarget asNamed = targetAsNamed(output);
    ASSERT_EQ(::symlink("other.txt", output.constData()), 0);
    EXPECT_EQ(writeFile(output, "emoji", nullptr, asNamed, keep), WriteResult::Written);
    EXPECT_EQ(readFile(other), QByteArray("someone's file"));
    EXPECT_EQ(readFile(output), QByteArray("emoji"));
    // A device the user names is written in place, as before.
    EXPECT_EQ(writeFile("/dev/null", "emoji", nullptr, targetAsNamed("/dev/null")), WriteResult::Written);
}

TEST(FileWriting, AnotherUsersLinkInASharedStickyFolderIsNotFollowed) {
    const QByteArray shared = tempFolder() + "/sticky";
    ::mkdir(shared.constData(), 0755);
    ASSERT_EQ(::chmod(shared.constData(), 01777), 0);
    const QByteArray victim = tempFolder() + "/victim.txt";
    ASSERT_TRUE(writeFileAtomically(victim, "mine"));
    const QByteArray planted = shared + "/emoji.png";
    ::unlink(planted.constData());
    ASSERT_EQ(::symlink(victim.constData(), planted.constData()), 0);
    const uid_t stranger = ::geteuid() + 4242;
    if (::lchown(planted.constData(), stranger, stranger) != 0)
        GTEST_SKIP() << "a link of another user needs root to make";
    QString error;
    EXPECT_EQ(writeFile(planted, "emoji", &error), WriteResult::Failed);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(victim), QByteArray("mine"));
    // The user's own link there is followed as before.
    ASSERT_EQ(::lchown(planted.constData(), ::geteuid(), ::getegid()), 0);
    EXPECT_EQ(writeFile(planted, "emoji"), WriteResult::Written);
    EXPECT_EQ(readFile(victim), QByteArray("emoji"));
}

TEST(FileWriting, TemporariesOfAKilledRunAreRemovedOnTheNextStart) {
    const QByteArray state = tempFolder() + "/state";
    const QByteArray notes = state + "/cropling/unfinished";
    QDir().mkpath(QFile::decodeName(notes));
    ::chmod(notes.constData(), 0700);
    qputenv("XDG_STATE_HOME", state);
    const QByteArray folder = tempFolder() + "/unfinished-output";
    ::mkdir(folder.constData(), 0755);
    // A process that has ended, and one that still runs (this one's parent).
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    int notesMade = 0;
    const auto note = [&](pid_t pid, const QByteArray& name) {
        const QByteArray path = folder + '/' + name;
        EXPECT_TRUE(writeFileAtomically(path, "half an emoji"));
        const QByteArray noteName = QByteArray::number(pid) + '-' + QByteArray::number(notesMade++);
        EXPECT_TRUE(writeFileAtomically(notes + '/' + noteName, path));
        return path;
    };
    const QByteArray left = note(ended, ".cropling-left");
    const QByteArray running = note(::getppid(), ".cropling-running");
    const QByteArray other = note(ended, "emoji.png"); // not a name the writer gives: kept
    // Another user's file at a writer's name, in a folder both may write to: kept.
    const QByteArray strangers = note(ended, ".cropling-strangers");
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(strangers.constData(), 65534, 65534), 0);
    }

    removeUnfinishedTemporaries();
    qunsetenv("XDG_STATE_HOME");
    EXPECT_FALSE(QFile::exists(QFile::decodeName(left)));
    EXPECT_TRUE(QFile::exists(QFile::decodeName(running)));
    EXPECT_TRUE(QFile::exists(QFile::decodeName(other)));
    EXPECT_EQ(QFile::exists(QFile::decodeName(strangers)), root);
    EXPECT_EQ(QDir(QFile::decodeName(notes)).entryList(QDir::Files).size(), 1); // the running one's
}
