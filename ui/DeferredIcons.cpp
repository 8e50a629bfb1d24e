#include "ui/DeferredIcons.h"

#include <QAbstractButton>
#include <QVariant>
#include <QWidget>

namespace ardel {

namespace {
constexpr const char *kIconProperty = "ardelStandardIcon";
}

void SetIconWhenShown(QAbstractButton *button, QStyle::StandardPixmap icon)
{
    button->setProperty(kIconProperty, int(icon));
}

bool ApplyDeferredIcons(QWidget *root)
{
    bool any = false;
    const QList<QAbstractButton *> buttons = root->findChildren<QAbstractButton *>();
    for (QAbstractButton *b : buttons) {
        const QVariant icon = b->property(kIconProperty);
        if (!icon.isValid())
            continue;
        b->setIcon(b->style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon.toInt())));
        b->setProperty(kIconProperty, QVariant());
        any = true;
    }
    return any;
}

} // namespace ardel
