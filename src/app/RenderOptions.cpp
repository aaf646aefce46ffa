#include "RenderOptions.h"

#include "app/CommandLine.h"
#include "core/ChatTarget.h"
#include "core/ClipSpan.h"
#include "core/CropGeometry.h"
#include "core/NumberSyntax.h"
#include "core/Orientation.h"
#include "io/LocalPath.h"

#include <cmath>
#include <cstdio>

namespace cropling {

RenderInput RenderInput::of(const QByteArray& argument) {
    const QUrl url = urlFromArgument(argument);
    return {argument, url, localPathBytes(url), displayName(argument)};
}

namespace {

void printHelp() {
    std::fputs(qPrintable(CommandLineText::tr(
                   "Usage: cropling render FILE -o OUT.png|OUT.gif [--zoom Z] [--offset X,Y | --auto] [--size N]\n"
                   "                                [--rotate 90|180|270] [--flip] [--cutout] [--target T] [--max-bytes B]\n"
                   "       cropling render CLIP -o OUT.gif [--start S] [--end E] [--speed X] [...]\n"
                   "       cropling render STILL -o OUT.gif --effect party|shake|spin|pulse [--speed slow|normal|fast]\n"
                   "                                [--caption TEXT] [...]\n"
                   "       cropling render FILE... -o FOLDER/\n"
                   "       cropling render FILE [--zoom Z] [--offset X,Y] --copy\n\n"
                   "Renders emoji without a window, exactly as the scripted save does: the square centred,\n"
                   "zoom Z (as given), offset X,Y in pixels of the 340-pixel square (clamped), N pixels a side\n"
                   "(128; at most %1). -o - writes the PNG to standard output (not to a terminal). With several\n"
                   "files, or an output ending in /, each emoji goes into the folder under its name, rendered\n"
                   "on all cores; the folder is made if it is missing. A picture is never written over.\n"
                   "--auto frames each picture's face (or its busiest part) instead of --zoom and --offset.\n"
                   "--rotate turns each picture clockwise and --flip swaps its left and right (after the turn),\n"
                   "before it is framed. --cutout makes a plain background (a studio, a wall, a flat colour)\n"
                   "transparent first.\n"
                   "An output ending in .gif is an animated GIF within the caps of the chat service T\n"
                   "(%2; the first is the default): its frames, colours and detail weighed against each\n"
                   "other until it fits. --max-bytes B sets another byte cap. Any other output is a PNG\n"
                   "(of an animation, its first frame). In a folder, an animation is saved as NAME.gif.\n"
                   "A video clip (MP4, MOV, WebM, MKV) is an animation of the part from S to E (seconds, 1.5,\n"
                   "or m:ss.s), played X times as fast (0.5 to 2): by default its first 3 seconds.\n"
                   "--effect makes a looping reaction of a still, or runs over every frame of an animation or\n"
                   "a clip: party colours, a shake, a spin or a pulse (--speed slow, normal or fast);\n"
                   "--caption draws a text at its foot on every frame (a still with a caption alone stays a PNG).\n")
                             .arg(kMaxOutputSize)
                             .arg(chatTargetIds())),
               stdout);
}

// The arguments as read so far, before the checks that need them all.
struct Parsed {
    QList<QByteArray> files;
    QByteArray output;
    std::optional<double> zoom;
    std::optional<QPointF> offset;
    int size = kEmojiSide;
    int degrees = 0;
    bool flip = false;
    std::optional<qint64> clipStart;
    std::optional<qint64> clipEnd;
    double clipSpeed = 1.0;
    bool paceNamed = false; // --speed as slow, normal or fast: an effect's pace
    EffectSettings effect;
    ChatTarget service = defaultChatTarget();
    std::optional<long long> maxBytes;
};

// The options of clips and effects that take a value.
std::optional<QString> readEffectValue(const QByteArray& option, const QByteArray& text, Parsed* parsed) {
    if (option == "--start" || option == "--end") {
        const auto time = parseClipTime(text);
        if (!time)
            return CommandLineText::tr("%1 needs a time in the clip, as seconds (1.5) or m:ss.s (0:01.5)")
                .arg(QString::fromLatin1(option));
        (option == "--start" ? parsed->clipStart : parsed->clipEnd) = *time;
    } else if (option == "--speed") {
        // An effect's pace by name, a clip's by a factor, written as the times are: 1.5, never 0x1.
        if (const auto pace = effectSpeedNamed(QString::fromLocal8Bit(text))) {
            parsed->effect.speed = *pace;
            parsed->paceNamed = true;
            return std::nullopt;
        }
        const auto n = parseDecimal(text);
        if (!n || !(*n >= kMinClipSpeed && *n <= kMaxClipSpeed))
            return CommandLineText::tr("--speed needs slow, normal or fast, or for a clip a number from %1 to %2")
                .arg(kMinClipSpeed)
                .arg(kMaxClipSpeed);
        parsed->clipSpeed = *n;
    } else if (option == "--effect") {
        const auto named = effectNamed(QString::fromLocal8Bit(text));
        if (!named)
            return CommandLineText::tr("--effect needs one of: %1").arg(effectIds());
        parsed->effect.effect = *named;
    } else if (option == "--caption") {
        parsed->effect.caption = QString::fromLocal8Bit(text);
    }
    return std::nullopt;
}

// An option that takes a value, given `text`: nothing when it was read, else why not.
std::optional<QString> readValue(const QByteArray& option, const QByteArray& text, Parsed* parsed) {
    if (option == "-o" || option == "--output") {
        if (!parsed->output.isEmpty())
            return CommandLineText::tr("-o is given twice");
        if (text.isEmpty())
            return CommandLineText::tr("%1 needs a file or folder").arg(QString::fromLatin1(option));
        parsed->output = text;
    } else if (option == "--zoom") {
        parsed->zoom = parseNumber(text);
        if (!parsed->zoom || !(*parsed->zoom > 0) || !std::isfinite(*parsed->zoom))
            return CommandLineText::tr("--zoom needs a number above 0");
    } else if (option == "--offset") {
        const qsizetype comma = text.indexOf(',');
        const auto x = comma > 0 ? parseNumber(text.left(comma)) : std::nullopt;
        const auto y = comma > 0 ? parseNumber(text.mid(comma + 1)) : std::nullopt;
        if (!x || !y)
            return CommandLineText::tr("--offset needs two numbers, X,Y");
        parsed->offset = QPointF(*x, *y);
    } else if (option == "--size") {
        const auto n = parseNumber(text);
        if (!n || *n < 1 || *n > kMaxOutputSize || *n != int(*n))
            return CommandLineText::tr("--size needs a whole number from 1 to %1").arg(kMaxOutputSize);
        parsed->size = int(*n);
    } else if (option == "--max-bytes") {
        const auto n = parseNumber(text);
        if (!n || *n < 1 || *n > 1e12 || *n != std::floor(*n))
            return CommandLineText::tr("--max-bytes needs a whole number of bytes above 0");
        parsed->maxBytes = (long long)*n;
    } else if (option == "--target") {
        const auto named = chatTargetNamed(QString::fromLocal8Bit(text));
        if (!named)
            return CommandLineText::tr("--target needs one of: %1").arg(chatTargetIds());
        parsed->service = *named;
    } else if (option == "--rotate") {
        const auto n = parseNumber(text);
        if (!n || (*n != 0 && *n != 90 && *n != 180 && *n != 270))
            return CommandLineText::tr("--rotate needs 90, 180 or 270 (degrees clockwise)");
        parsed->degrees = int(*n);
    } else {
        return readEffectValue(option, text, parsed);
    }
    return std::nullopt;
}

// The options as a whole, once every argument is read.
std::variant<RenderOptions, int> checked(const Parsed& parsed, bool copy, bool autoFrame, bool cutout) {
    if (parsed.files.isEmpty())
        return badArguments(CommandLineText::tr("render needs a picture"));
    if (parsed.clipEnd && *parsed.clipEnd <= parsed.clipStart.value_or(0))
        return badArguments(CommandLineText::tr("--end needs a time after --start"));
    if (parsed.paceNamed && parsed.effect.effect == Effect::None)
        return badArguments(CommandLineText::tr("--speed slow, normal or fast needs --effect; a clip's speed is a number from %1 to %2")
                                .arg(kMinClipSpeed)
                                .arg(kMaxClipSpeed));
    if (copy && parsed.files.size() != 1)
        return badArguments(CommandLineText::tr("--copy takes one picture"));
    RenderOptions options;
    for (const QByteArray& file : parsed.files)
        options.inputs << RenderInput::of(file);
    options.output = parsed.output;
    options.framing = FramingRequest{parsed.zoom,      parsed.offset,  autoFrame,          orientationOf({parsed.degrees, parsed.flip}),
                                     parsed.clipStart, parsed.clipEnd, parsed.clipSpeed, cutout};
    options.size = parsed.size;
    options.limits = gifLimitsOf(parsed.service);
    options.limits.maxBytes = parsed.maxBytes.value_or(options.limits.maxBytes);
    options.effect = parsed.effect;
    options.copy = copy;
    return options;
}

// Whether an option takes the argument after it as its value.
bool takesValue(const QByteArray& option) {
    static const QList<QByteArray> kWithValue = {"-o", "--output", "--zoom", "--offset", "--size", "--max-bytes", "--target",
                                                "--rotate", "--start", "--end", "--speed", "--effect", "--caption"};
    return kWithValue.contains(option);
}

// What an option given last, without its value, needs: the line its value would get were it
// empty (which no option but --caption takes), after what was read before it.
QString missingValue(const QByteArray& option, Parsed parsed) {
    if (option == "--caption")
        return CommandLineText::tr("--caption needs a text");
    return readValue(option, QByteArray(), &parsed).value_or(CommandLineText::tr("unknown option %1").arg(QString::fromLatin1(option)));
}

} // namespace

std::variant<RenderOptions, int> parseRenderOptions(int argc, char** argv) {
    Parsed parsed;
    bool copy = false, autoFrame = false, cutout = false, help = false;
    // Read by hand, so that file names keep their bytes and the parser's app is not needed.
    for (int i = 2; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (takesValue(argument)) {
            if (i + 1 >= argc)
                return badArguments(missingValue(argument, parsed));
            if (const auto why = readValue(argument, QByteArray(argv[++i]), &parsed))
                return badArguments(*why);
        } else if (argument == "--flip" || argument == "--copy" || argument == "--auto" || argument == "--cutout") {
            (argument == "--flip" ? parsed.flip : argument == "--copy" ? copy : argument == "--auto" ? autoFrame : cutout) = true;
        } else if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument == "--") {
            for (int j = i + 1; j < argc; ++j)
                parsed.files << QByteArray(argv[j]);
            break;
        } else if (argument.startsWith('-') && argument != "-") {
            return badArguments(CommandLineText::tr("unknown option %1").arg(QString::fromLocal8Bit(argument)));
        } else if (argument.isEmpty()) {
            return badArguments(CommandLineText::tr("a picture's name is empty"));
        } else {
            parsed.files << argument;
        }
    }
    if (help) {
        printHelp();
        return 0;
    }
    return checked(parsed, copy, autoFrame, cutout);
}

} // namespace cropling
