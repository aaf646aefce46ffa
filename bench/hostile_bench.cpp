// The bounds for every hostile input: each is made here, then opened by the real program twice,
// as a scripted save (which renders once from the file) and as a window opens it (a first look,
// then the working picture), each in a process of its own. Printed per run: exit status, wall
// time, the peak memory of the whole process tree (the program and its decoding helper, sampled
// together), and whether anything was left in TMPDIR or the input changed. A run that takes longer
// than a minute is stopped and shown as such.
//
//   build/bench/hostile_bench                 every input
//   build/bench/hostile_bench NAME-PART...    the inputs whose names contain one of the parts

#include "HostileFiles.h"

#include "core/CropGeometry.h"
#include "image/DecoderSession.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <vector>

extern char** environ;

using namespace cropling;
using namespace cropling::test;

namespace {

struct Input {
    const char* name;
    std::function<QByteArray()> make;
};

struct Run {
    int status = -1;
    double seconds = 0;
    long peakMb = 0;
    bool stopped = false;
};

long residentKb(pid_t pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// The resident memory of a process and all its descendants, now.
long treeKb(pid_t pid) {
    long total = residentKb(pid);
    QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    if (children.open(QIODevice::ReadOnly)) {
        for (const QByteArray& child : children.readAll().simplified().split(' ')) {
            if (!child.isEmpty())
                total += treeKb(pid_t(child.toInt()));
        }
    }
    return total;
}

Run runProcess(const std::vector<QByteArray>& argv, const std::vector<std::pair<const char*, QByteArray>>& env) {
    QElapsedTimer clock;
    clock.start();
    // Spawned, not forked: a forked child would count this process's memory until it execs.
    std::vector<QByteArray> settings;
    for (char** e = environ; *e; ++e)
        settings.emplace_back(*e);
    for (const auto& [name, value] : env)
        settings.push_back(QByteArray(name) + '=' + value);
    std::vector<char*> envp, args;
    for (QByteArray& setting : settings)
        envp.push_back(setting.data());
    envp.push_back(nullptr);
    for (const QByteArray& arg : argv)
        args.push_back(const_cast<char*>(arg.constData()));
    args.push_back(nullptr);
    pid_t child = -1;
    if (::posix_spawn(&child, args[0], nullptr, nullptr, args.data(), envp.data()) != 0)
        return {};
    Run run;
    int status = 0;
    for (;;) {
        run.peakMb = std::max(run.peakMb, treeKb(child) / 1024);
        if (::waitpid(child, &status, WNOHANG) == child)
            break;
        if (clock.elapsed() > 60000 && !run.stopped) {
            ::kill(child, SIGKILL);
            run.stopped = true;
        }
        ::usleep(3000);
    }
    run.seconds = clock.elapsed() / 1000.0;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

// What a window does with a new picture, in this process: a first look, then the working picture.
int openAsAWindowWould(const char* path) {
    // Handed over as the window hands a file over: an open descriptor the helper reads.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    DecoderSession session;
    if (fd < 0 || !session.start(PictureInput::file(fd)))
        return 1;
    const auto preview = session.preview(kCropSide);
    if (preview.why)
        return 1;
    if (!session.decode(workingShorterSide(1.0)))
        return 1;
    // A clip's window goes on to its default span's frames.
    return !session.holdsClip() || session.frames(int(kCropSide) * 3 / 2) ? 0 : 1;
}

// A clip made by the ffmpeg program from its test source: `input` are ffmpeg's input options.
QByteArray ffmpegClip(const QStringList& input, const QStringList& output, const QString& suffix = QStringLiteral("mp4")) {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("clip.") + suffix);
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error")} +
                                               input + output + QStringList{path});
    if (!ffmpeg.waitForFinished(600'000) || ffmpeg.exitCode() != 0)
        return {};
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray testClip(const QString& size, int rate, double seconds, const QStringList& output = {}) {
    return ffmpegClip({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                       QStringLiteral("testsrc2=size=%1:rate=%2").arg(size).arg(rate), QStringLiteral("-t"), QString::number(seconds)},
                      output.isEmpty() ? QStringList{QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-preset"),
                                                     QStringLiteral("ultrafast"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p")}
                                       : output);
}

// A box's 32-bit field `at` bytes after its type, big-endian, set to `value` wherever the box is.
QByteArray withBoxField(QByteArray mp4, const QByteArray& type, int at, quint32 value, int bytes = 4) {
    for (qsizetype i = mp4.indexOf(type); i >= 0; i = mp4.indexOf(type, i + 1)) {
        for (int b = 0; b < bytes; ++b)
            mp4[i + 4 + at + b] = char(value >> (8 * (bytes - 1 - b)));
    }
    return mp4;
}

QByteArray digest(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return file.open(QIODevice::ReadOnly) && hash.addData(&file) ? hash.result() : QByteArray();
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--window")
        return openAsAWindowWould(argv[2]);
    const QByteArray program = QByteArray(CROPLING_BINARY);
    const QByteArray self = QFile::encodeName(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath());
    QTemporaryDir folder;
    const std::vector<Input> inputs = {
        {"PNG 64x64, 60 text chunks of 40 MB", [] { return pngWithTextBombs(60, 40 << 20); }},
        {"PNG 64x64, 1000 text chunks of 40 MB", [] { return pngWithTextBombs(1000, 40 << 20); }},
        {"... and 12 junk bytes after its end", [] { return pngWithTextBombs(1000, 40 << 20) + QByteArray(12, 'x'); }},
        {"JPEG 19000x19000", [] { return hugeJpeg(19000, 1); }},
        {"JPEG 19000x19000, orientation 6", [] { return hugeJpeg(19000, 6); }},
        {"PNG 20000x20000 RGBA 16-bit, orientation 6", [] { return hugePng16(20000, 6); }},
        {"GIF claiming one 20000x20000 frame", [] { return gifClaiming(20000, 20000); }},
        {"WebP 16383x16383", [] { return hugeWebp(16383); }},
        {"TIFF 4000x4000, 100 bands", [] { return tiffWithBands(4000, 100); }},
        {"WebP, 100000 frames", [] { return animatedWebp(100000); }},
        {"WebP, 1000000 frames", [] { return animatedWebp(1000000); }},
        {"JPEG with 896 scans", [] { return jpegWithScans(896); }},
        {"TIFF with 1000000 pages", [] { return tiffWithPages(1000000, 1); }},
        {"TIFF of 4 bytes", [] { return QByteArray("II*\0", 4); }},
        {"progressive JPEG 16000x16000, 883 scans, junk", [] { return progressiveJpeg(16000, 883, true, false); }},
        {"progressive JPEG 19000x19000 4:4:4", [] { return progressiveJpeg(19000, 0, false, true); }},
        {"JPEG 64x64 with 10000 APP1 segments of 64 KB", [] { return jpegWithAppSegments(10000); }},
        {"JPEG 3000x2000 cut in half", [] { const QByteArray j = hugeJpeg(3000, 1); return j.left(j.size() / 2); }},
        {"PNG 40x2000000", [] { return plainPng(40, 2000000, 3, 8, false); }},
        {"PNG 10000000x40", [] { return plainPng(10000000, 40, 3, 8, false); }},
        {"PNG 20000x20000 RGB interlaced", [] { return plainPng(20000, 20000, 3, 8, true); }},
        {"PNG 20000x20000 RGBA 16-bit interlaced", [] { return plainPng(20000, 20000, 4, 16, true); }},
        {"PNG 64x64 with a 200 MB eXIf", [] { return pngWithExif(200 << 20); }},
        {"SVG holding a 20000x20000 PNG", [] { return svgWithEmbeddedPng(20000); }},
        {"SVG 300x2", [] { return thinSvg(300, 2); }},
        {"SVG feConvolveMatrix of order 30", [] { return svgConvolution(30); }},
        {"SVG with 1000000 rects", [] { return svgRects(1000000); }},
        {"one junk byte", [] { return QByteArray("\x7f", 1); }},
        // Video clips, which the video helper decodes.
        {"clip: MP4 4K 3840x2160, 5 s", [] { return testClip(QStringLiteral("3840x2160"), 30, 5); }},
        {"clip: MP4 one hour, 160x90", [] { return testClip(QStringLiteral("160x90"), 10, 3600); }},
        {"clip: MP4 claiming 16384x16384", [] {
             return withBoxField(withBoxField(testClip(QStringLiteral("160x90"), 10, 2), "avc1", 24, 16384, 2), "avc1", 26, 16384, 2);
         }},
        {"clip: MP4 claiming 10 hours", [] {
             // The movie's and the track's durations in their own time scales.
             QByteArray mp4 = testClip(QStringLiteral("160x90"), 10, 2);
             const qsizetype mvhd = mp4.indexOf("mvhd"), mdhd = mp4.indexOf("mdhd");
             const auto scale = [&](qsizetype box) {
                 return quint32(quint8(mp4[box + 16])) << 24 | quint32(quint8(mp4[box + 17])) << 16 |
                        quint32(quint8(mp4[box + 18])) << 8 | quint32(quint8(mp4[box + 19]));
             };
             const quint32 movieScale = scale(mvhd), trackScale = scale(mdhd);
             mp4 = withBoxField(mp4, "mvhd", 16, movieScale * 36000);
             return withBoxField(mp4, "mdhd", 16, trackScale * 36000);
         }},
        {"clip: MP4 cut at 40 %", [] { const QByteArray c = testClip(QStringLiteral("640x360"), 25, 6); return c.left(c.size() * 4 / 10); }},
        {"clip: M4A, sound alone", [] {
             return ffmpegClip({QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=duration=5")}, {},
                               QStringLiteral("m4a"));
         }},
        {"clip: MP4 of 100000 frames of 16x16", [] { return testClip(QStringLiteral("16x16"), 1000, 100); }},
        {"clip: MP4, its track repeated 1000 times", [] {
             return mp4WithRepeatedTrack(testClip(QStringLiteral("640x360"), 30, 3), 1000);
         }},
        {"clip: WebM 1080p VP9, 4 s", [] {
             return testClip(QStringLiteral("1920x1080"), 30, 4,
                             {QStringLiteral("-c:v"), QStringLiteral("libvpx-vp9"), QStringLiteral("-deadline"), QStringLiteral("realtime"),
                              QStringLiteral("-cpu-used"), QStringLiteral("8")});
         }},
    };
    std::printf("%-46s %10s | %-24s | %-24s | %s\n", "input", "bytes", "scripted save: exit s MB",
                "window: exit s MB", "left");
    for (const Input& input : inputs) {
        bool wanted = argc < 2;
        for (int i = 1; i < argc; ++i)
            wanted = wanted || QByteArray(input.name).contains(argv[i]);
        if (!wanted)
            continue;
        const QByteArray bytes = input.make();
        const QString inputPath = folder.filePath(QStringLiteral("input"));
        QFile file(inputPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        file.close();
        const QByteArray before = digest(inputPath);
        const QString temporary = folder.filePath(QStringLiteral("tmp"));
        QDir().mkpath(temporary);
        const QByteArray path = QFile::encodeName(inputPath);
        const QByteArray output = QFile::encodeName(folder.filePath(QStringLiteral("out.png")));
        const auto env = std::vector<std::pair<const char*, QByteArray>>{
            {"CROPLING_OPEN", path}, {"CROPLING_TEST_SAVE", output}, {"TMPDIR", QFile::encodeName(temporary)}};
        const Run save = runProcess({program}, env);
        const Run window = runProcess({self, "--window", path}, env);
        const bool left = !QDir(temporary).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden) ||
                          digest(inputPath) != before;
        std::printf("%-46s %10lld | %4d %8.2f %8ld%s | %4d %8.2f %8ld%s | %s", input.name, (long long)bytes.size(),
                    save.status, save.seconds, save.peakMb, save.stopped ? " (stopped)" : "", window.status,
                    window.seconds, window.peakMb, window.stopped ? " (stopped)" : "", left ? "yes" : "no");
        // A clip is also rendered as an animated emoji, the heaviest of its paths, at 128 and 1024.
        if (QByteArray(input.name).startsWith("clip:")) {
            const QByteArray gif = QFile::encodeName(folder.filePath(QStringLiteral("out.gif")));
            const Run render = runProcess({program, "render", path, "-o", gif}, env);
            std::printf(" | GIF: %d %6.2f s %5ld MB%s", render.status, render.seconds, render.peakMb, render.stopped ? " (stopped)" : "");
            // And at the largest size, where the squares' memory bounds the frames taken.
            const Run largest = runProcess({program, "render", path, "-o", gif, "--size", "1024"}, env);
            std::printf(" | 1024: %d %6.2f s %5ld MB%s", largest.status, largest.seconds, largest.peakMb,
                        largest.stopped ? " (stopped)" : "");
            QFile::remove(QFile::decodeName(gif));
        }
        std::printf("\n");
        std::fflush(stdout);
        QFile::remove(QFile::decodeName(output));
    }
    return 0;
}
