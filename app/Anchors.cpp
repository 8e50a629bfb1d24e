#include "app/Anchors.h"

namespace ardel {

void TAnchors::Add(QWidget *w, unsigned anchors)
{
    m_entries.append({w, anchors, w->geometry(), w->parentWidget()->size()});
    w->parentWidget()->removeEventFilter(this);
    w->parentWidget()->installEventFilter(this);
}

bool TAnchors::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched->isWidgetType())
        Apply(static_cast<QWidget *>(watched));
    return QObject::eventFilter(watched, event);
}

void TAnchors::Rebase(QWidget *w)
{
    for (Entry &e : m_entries)
        if (e.w == w) {
            e.rect = w->geometry();
            e.parentSize = w->parentWidget()->size();
        }
}

void TAnchors::Apply(QWidget *parent)
{
    for (const Entry &e : std::as_const(m_entries)) {
        if (!e.w || e.w->parentWidget() != parent)
            continue;
        const int dw = parent->width() - e.parentSize.width();
        const int dh = parent->height() - e.parentSize.height();
        QRect r = e.rect;
        if (e.anchors & AnchorRight) {
            if (e.anchors & AnchorLeft)
                r.setWidth(r.width() + dw);
            else
                r.moveLeft(r.left() + dw);
        }
        if (e.anchors & AnchorBottom) {
            if (e.anchors & AnchorTop)
                r.setHeight(r.height() + dh);
            else
                r.moveTop(r.top() + dh);
        }
        e.w->setGeometry(r);
    }
}

} // namespace ardel
