#include "FaceModule.h"

#include "image/ProgramFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibrary>

#include <mutex>

namespace cropling {

namespace {

// The translation context of the failure text.
struct FaceModuleText {
    Q_DECLARE_TR_FUNCTIONS(FaceFraming)
};

} // namespace

QString faceFinderPath() {
    if (const QByteArray own = qgetenv("CROPLING_FACES"); !own.isEmpty())
        return QString::fromLocal8Bit(own);
    return QFile::decodeName(programFile(QStringLiteral("libcropling-faces.so"), "lib/cropling", CROPLING_FACES_BUILD_PATH));
}

const FaceModule& faceModule() {
    static FaceModule loaded;
    static std::once_flag once;
    std::call_once(once, [] {
        QLibrary library(faceFinderPath());
        library.setLoadHints(QLibrary::ResolveAllSymbolsHint);
        loaded.find = reinterpret_cast<CroplingFindFaces>(library.resolve("cropling_find_faces"));
        loaded.findOf = reinterpret_cast<CroplingFindFacesOf>(library.resolve("cropling_find_faces_of"));
        loaded.prepare = reinterpret_cast<CroplingPrepareFaces>(library.resolve("cropling_prepare_faces"));
        loaded.segment = reinterpret_cast<CroplingSegmentPicture>(library.resolve("cropling_segment"));
        if (!loaded.find || !loaded.findOf || !loaded.prepare || !loaded.segment)
            loaded.error = FaceModuleText::tr("face detection isn't installed (%1)").arg(library.errorString());
    });
    return loaded;
}

void prepareFaceSearch() {
    const FaceModule& finder = faceModule();
    char error[256] = {};
    if (finder.prepare)
        (void)finder.prepare(CroplingFrontalFace, error, int(sizeof error));
}

} // namespace cropling
