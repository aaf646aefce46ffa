// The bounds for every hostile input: each is made here, then opened and saved by a scripted run
// of the real program, whose time, peak memory and exit status are printed. A run that takes
// longer than a minute is stopped and shown as such.
//
//   build/bench/hostile_bench

#include "HostileFiles.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <vector>

using namespace cropling::test;

namespace {

struct Input {
    const char* name;
    std::function<QByteArray()> make;
};

struct Outcome {
    int status = -1;
    double seconds = 0;
    long peakMb = 0;
    bool stopped = false;
};

// Runs a scripted save of the file; with `addressLimit`, under that limit on the address space, as
// `ulimit -v` sets it.
Outcome scriptedSave(const QByteArray& program, const QByteArray& file, const QByteArray& output, rlim_t addressLimit = 0) {
    QElapsedTimer clock;
    clock.start();
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("CROPLING_OPEN", file.constData(), 1);
        ::setenv("CROPLING_TEST_SAVE", output.constData(), 1);
        if (addressLimit) {
            const rlimit limit{addressLimit, addressLimit};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        const char* argv[] = {program.constData(), nullptr};
        ::execv(program.constData(), const_cast<char* const*>(argv));
        ::_exit(127);
    }
    Outcome outcome;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(child, &status, WNOHANG, &usage);
        if (done == child)
            break;
        if (clock.elapsed() > 60000 && !outcome.stopped) {
            ::kill(child, SIGKILL);
            outcome.stopped = true;
        }
        ::usleep(2000);
    }
    outcome.seconds = clock.elapsed() / 1000.0;
    outcome.peakMb = usage.ru_maxrss / 1024;
    outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return outcome;
}

} // namespace

int main(int argc, char** argv) {
    const QByteArray program = argc > 1 ? QByteArray(argv[1]) : QByteArray(CROPLING_BINARY);
    QTemporaryDir folder;
    const std::vector<Input> inputs = {
        {"PNG 64x64, 60 text chunks of 40 MB", [] { return pngWithTextBombs(60, 40 << 20); }},
        {"PNG 64x64, 1000 text chunks of 40 MB", [] { return pngWithTextBombs(1000, 40 << 20); }},
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
    };
    std::printf("%-46s %10s %6s %8s %8s %12s\n", "input", "bytes", "exit", "time s", "peak MB", "exit in 1 GB");
    for (const Input& input : inputs) {
        const QByteArray bytes = input.make();
        const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("input")));
        QFile file(QFile::decodeName(path));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return 1;
        file.close();
        const QByteArray output = QFile::encodeName(folder.filePath(QStringLiteral("out.png")));
        const Outcome outcome = scriptedSave(program, path, output);
        const Outcome limited = scriptedSave(program, path, output, rlim_t(1) << 30);
        std::printf("%-46s %10lld %6d %8.2f %8ld %12d%s\n", input.name, (long long)bytes.size(), outcome.status,
                    outcome.seconds, outcome.peakMb, limited.status, outcome.stopped ? "  (stopped after 60 s)" : "");
        std::fflush(stdout);
    }
    return 0;
}
