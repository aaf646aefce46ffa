#pragma once

#include <QObject>

namespace cropling {

class CroplingWindow;

// The application: starts Qt on a platform that can serve the run, opens windows, and brings the
// first one to the front.
class CroplingApp : public QObject {
    Q_OBJECT
public:
    static int run(int argc, char** argv);

    CroplingWindow* newWindow();
};

} // namespace cropling
