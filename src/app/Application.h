#pragma once

#include <QObject>

namespace cropling {

class MainWindow;

// The application: starts Qt on a platform that can serve the run, opens windows, and raises the
// first one.
class Application : public QObject {
    Q_OBJECT
public:
    static int run(int argc, char** argv);

    MainWindow* newWindow();
};

} // namespace cropling
