// Keeps controls at fixed distances from the edges of their parent, so that a
// window laid out in pixels still follows resizing.
#pragma once

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

namespace ardel {

enum Anchor : unsigned { AnchorLeft = 1, AnchorTop = 2, AnchorRight = 4, AnchorBottom = 8, AnchorAll = 15, AnchorTopLeft = 3 };

class TAnchors : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Remembers w's current geometry against its parent's current size.
    void Add(QWidget *w, unsigned anchors);
    // Forgets the remembered distances of w and takes its current ones.
    void Rebase(QWidget *w);
    // Re-places every control whose parent is parent.
    void Apply(QWidget *parent);

protected:
    // Every parent of an anchored control is watched for its resizes.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Entry {
        QPointer<QWidget> w;
        unsigned anchors;
        QRect rect;
        QSize parentSize;
    };
    QList<Entry> m_entries;
};

} // namespace ardel
