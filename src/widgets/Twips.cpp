#include "Twips.h"

#include <QWidget>
#include <cmath>

int twipsToPixels(int twips, int dpi) {
    return int(std::lround(double(twips) * dpi / 1440.0));
}

int pixelsToTwips(int pixels, int dpi) {
    return int(std::lround(double(pixels) * 1440.0 / dpi));
}

void setTwipsGeometry(QWidget* widget, int left, int top, int width, int height) {
    const int dpi = widget->logicalDpiX();
    widget->setGeometry(twipsToPixels(left, dpi), twipsToPixels(top, dpi),
                        twipsToPixels(width, dpi), twipsToPixels(height, dpi));
}

void fitTextWidth(QWidget* widget) {
    const QSize hint = widget->sizeHint();
    if (hint.width() > widget->width()) widget->resize(hint.width(), widget->height());
}
