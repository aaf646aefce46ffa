#pragma once

// The left column: heading, crop square, zoom row and hint (only with a picture), and the buttons
// to choose, paste and reset.

#include <QWidget>

class QPushButton;
class QSlider;

namespace cropling {

class ContentView;
class WindowActions;

class EditorColumn : public QWidget {
    Q_OBJECT
public:
    EditorColumn(ContentView* editor, const WindowActions* actions, QWidget* parent = nullptr);

    // The slider works in thousandths of a zoom step: continuous to the eye, exact at 1 and 5.
    static constexpr int kSliderSteps = 4000;
    static double zoomForSlider(int value) { return 1.0 + value / 1000.0; }
    static int sliderForZoom(double zoom);

private:
    void syncFromEditor();

    ContentView* editor_;
    QWidget* zoomRow_;
    QWidget* hint_;
    QSlider* slider_;
    QPushButton* choose_;
    QPushButton* reset_;
};

} // namespace cropling
