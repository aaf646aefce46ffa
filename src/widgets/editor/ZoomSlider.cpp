#include "ZoomSlider.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLocale>
#include <QProxyStyle>

#include <algorithm>
#include <cmath>

namespace cropling {

namespace {

// A click on the track moves the knob to the click, as people expect of a zoom control, rather than
// a page at a time toward it.
class JumpToClickStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == QStyle::SH_Slider_AbsoluteSetButtons)
            return Qt::LeftButton;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// What screen readers get: the zoom itself as the value, and as its text.
class ZoomSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ZoomSliderAccessible(ZoomSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}
    ZoomSlider* slider() const { return static_cast<ZoomSlider*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value)
            return ZoomSlider::zoomText(slider()->zoomAt(slider()->value()));
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return slider()->zoomAt(slider()->value()); }
    void setCurrentValue(const QVariant& value) override { slider()->setValue(slider()->valueFor(value.toDouble())); }
    QVariant maximumValue() const override { return slider()->highest(); }
    QVariant minimumValue() const override { return slider()->lowest(); }
    QVariant minimumStepSize() const override { return slider()->singleStep() / 1000.0; }
};

QAccessibleInterface* accessibleFor(const QString& className, QObject* object) {
    if (className == QLatin1String("cropling::ZoomSlider") && object->isWidgetType())
        return new ZoomSliderAccessible(static_cast<ZoomSlider*>(object));
    return nullptr;
}

} // namespace

ZoomSlider::ZoomSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    static const bool installed = (QAccessible::installFactory(accessibleFor), true);
    Q_UNUSED(installed);
    auto* style = new JumpToClickStyle;
    style->setParent(this);
    setStyle(style);
    setSingleStep(50);
    setPageStep(500);
    setZoomRange(lowest_, highest_);
    connect(this, &QSlider::valueChanged, this, [this](int value) {
        QAccessibleValueChangeEvent event(this, zoomAt(value));
        QAccessible::updateAccessibility(&event);
    });
}

void ZoomSlider::setZoomRange(double lowest, double highest) {
    lowest_ = lowest;
    highest_ = highest;
    setRange(0, int(std::lround((highest - lowest) * 1000.0)));
}

int ZoomSlider::valueFor(double zoom) const {
    if (!std::isfinite(zoom))
        return 0;
    return int(std::lround(std::clamp((zoom - lowest_) * 1000.0, 0.0, double(maximum()))));
}

QString ZoomSlider::zoomText(double zoom) {
    return QLocale().toString(zoom, 'f', 1) + QStringLiteral("×");
}

} // namespace cropling
