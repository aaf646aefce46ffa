#include "app/RenderOptions.h"

#include "core/Orientation.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace cropling;

namespace {

struct Answer {
    std::variant<RenderOptions, int> read;
    std::string line; // what went to stderr
};

// The arguments after "cropling render", read with stderr caught.
Answer parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"cropling", "render"});
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    std::fflush(stderr);
    int pipe[2];
    EXPECT_EQ(::pipe(pipe), 0);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(pipe[1], STDERR_FILENO);
    ::close(pipe[1]);
    Answer answer{parseRenderOptions(int(argv.size()), argv.data()), {}};
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    char buffer[512];
    ssize_t n;
    while ((n = ::read(pipe[0], buffer, sizeof buffer)) > 0)
        answer.line.append(buffer, size_t(n));
    ::close(pipe[0]);
    return answer;
}

} // namespace

TEST(RenderOptions, AnOptionGivenLastWithoutItsValueSaysWhatItNeeds) {
    const struct {
        const char* option;
        const char* needs;
    } cases[] = {
        {"-o", "-o needs a file or folder"},      {"--zoom", "--zoom needs a number"},     {"--offset", "--offset needs two numbers"},
        {"--size", "--size needs a whole number"}, {"--max-bytes", "--max-bytes needs"},   {"--target", "--target needs one of"},
        {"--rotate", "--rotate needs 90"},         {"--start", "--start needs a time"},    {"--end", "--end needs a time"},
        {"--speed", "--speed needs slow"},          {"--effect", "--effect needs one of"}, {"--caption", "--caption needs a text"},
    };
    for (const auto& c : cases) {
        const Answer answer = parse({"photo.jpg", c.option});
        ASSERT_TRUE(std::holds_alternative<int>(answer.read)) << c.option;
        EXPECT_EQ(std::get<int>(answer.read), 2) << c.option;
        EXPECT_NE(answer.line.find(c.needs), std::string::npos) << c.option << ": " << answer.line;
    }
    // What was read before still counts: a second -o is one too many, with or without its value.
    EXPECT_NE(parse({"photo.jpg", "-o", "a.png", "-o"}).line.find("-o is given twice"), std::string::npos);
}

TEST(RenderOptions, EachPictureIsWorkedOutOnceAndTheOptionsMakeOneRequest) {
    const Answer answer = parse({"file:///tmp/a%20b.png", "./c.jpg", "--target", "discord", "--max-bytes", "1000", "--rotate", "90",
                                 "--flip", "--start", "1", "--end", "0:02.5", "--speed", "0.5", "-o", "out/"});
    ASSERT_TRUE(std::holds_alternative<RenderOptions>(answer.read)) << answer.line;
    const RenderOptions& options = std::get<RenderOptions>(answer.read);
    ASSERT_EQ(options.inputs.size(), 2);
    EXPECT_EQ(options.inputs[0].path, QByteArray("/tmp/a b.png"));
    EXPECT_EQ(options.inputs[0].argument, QByteArray("file:///tmp/a%20b.png"));
    EXPECT_TRUE(options.inputs[1].path.endsWith("/c.jpg"));
    EXPECT_EQ(options.limits, (GifLimits{1000, 0}));
    EXPECT_EQ(options.framing.turn, orientationOf({90, true}));
    EXPECT_EQ(options.framing.clipStartMs, 1000);
    EXPECT_EQ(options.framing.clipEndMs, 2500);
    EXPECT_EQ(options.framing.clipSpeed, 0.5);
    EXPECT_EQ(options.output, QByteArray("out/"));
    // Checks that need every argument: the end after the start, a pace only with an effect.
    EXPECT_EQ(std::get<int>(parse({"clip.mp4", "--start", "2", "--end", "1", "-o", "x.gif"}).read), 2);
    EXPECT_EQ(std::get<int>(parse({"clip.mp4", "--speed", "fast", "-o", "x.gif"}).read), 2);
    EXPECT_TRUE(std::holds_alternative<RenderOptions>(parse({"cat.jpg", "--speed", "fast", "--effect", "spin", "-o", "x.gif"}).read));
}
