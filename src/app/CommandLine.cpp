#include "CommandLine.h"

#include "core/StatusText.h"

#include "app/Translations.h"
#include "io/LocalPath.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

namespace cropling {

int badArguments(const QString& reason) {
    std::fprintf(stderr, "cropling: %s\n", terminalLine(reason).constData());
    return 2;
}

void setCommandLineIdentity() {
    QCoreApplication::setApplicationName(QStringLiteral("cropling"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CROPLING_VERSION));
}

bool isRenderCommand(int argc, char** argv) { return argc >= 2 && std::strcmp(argv[1], "render") == 0; }

Launch parseLaunch(int argc, char** argv) {
    Launch launch;
    QList<QByteArray> pictures;
    bool options = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--") {
            for (int j = i + 1; j < argc; ++j)
                pictures << QByteArray(argv[j]);
            break;
        }
        if (argument.startsWith('-') && argument != "-")
            options = true;
        else
            pictures << argument;
    }
    if (options) {
        // Only --help and --version exist; the parser answers them, or says what is wrong.
        QCoreApplication app(argc, argv);
        installTranslations(app);
        setCommandLineIdentity();
        QCommandLineParser parser;
        parser.setApplicationDescription(CommandLineText::tr(
            "Turns a photo into a 128x128 PNG emoji.\n\nAlso: cropling render FILE... -o OUT (see cropling render --help)."));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(QStringLiteral("pictures"), CommandLineText::tr("Pictures (paths or file:// URLs) to open, a window each."),
                                     QStringLiteral("[FILE|URL...]"));
        if (!parser.parse(app.arguments())) {
            launch.exitCode = badArguments(parser.errorText());
            return launch;
        }
        if (parser.isSet(QStringLiteral("help"))) {
            std::fputs(qPrintable(parser.helpText()), stdout);
            launch.exitCode = 0;
            return launch;
        }
        if (parser.isSet(QStringLiteral("version"))) {
            std::printf("cropling %s\n", CROPLING_VERSION);
            launch.exitCode = 0;
            return launch;
        }
    }
    for (const QByteArray& picture : pictures) {
        const QUrl url = urlFromArgument(picture);
        struct stat info {};
        if (url.isLocalFile() && ::stat(localPathBytes(url).constData(), &info) != 0)
            std::fprintf(stderr, "cropling: %s: %s\n", picture.constData(), std::strerror(errno));
        launch.pictures << url;
    }
    return launch;
}

} // namespace cropling
