// Standard icons that a button gets when its window is shown.
#pragma once

#include <QStyle>

class QAbstractButton;
class QWidget;

namespace ardel {

// The style decodes its standard icons from images, a good part of the
// start-up, and every window is created before the first discovery goes out.
// A button marked here gets its icon when ApplyDeferredIcons runs on a widget
// that holds it (from the window's showEvent, before anything is painted).
void SetIconWhenShown(QAbstractButton *button, QStyle::StandardPixmap icon);

// Sets the marked buttons' icons under root; true when it set any.
bool ApplyDeferredIcons(QWidget *root);

} // namespace ardel
