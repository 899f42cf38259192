#pragma once

class QWidget;

// Window geometry is designed in twips (1/1440 inch): one pixel is 1440 / logical DPI twips.
int twipsToPixels(int twips, int dpi);
int pixelsToTwips(int pixels, int dpi);

// Places a widget at a rectangle given in twips, relative to its parent.
void setTwipsGeometry(QWidget* widget, int left, int top, int width, int height);

// Widens a label or option button whose text is longer than its designed width in the
// current font, so that the text is not cut off.
void fitTextWidth(QWidget* widget);
