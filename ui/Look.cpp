#include "ui/Look.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QWidget>

namespace ardel {

QColor DialogPanelFace()
{
    return QApplication::palette().color(QPalette::Window);
}

QFont FixedFont(int pointSize, bool bold)
{
    QFont f(QStringLiteral("Courier New"), pointSize);
    f.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    f.setStyleHint(QFont::Monospace);
    f.setFixedPitch(true);
    f.setBold(bold);
    return f;
}

QFont UiFont(int pointSize, bool bold)
{
    QFont f(QStringLiteral("MS Sans Serif"), pointSize);
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setBold(bold);
    return f;
}

void ApplyNavyBackground(QWidget *w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, kNavy);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QFrame *MakeBevelPanel(QWidget *parent, const QColor &face)
{
    auto *panel = new QFrame(parent);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    panel->setLineWidth(2);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, face);
    panel->setPalette(pal);
    panel->setAutoFillBackground(true);
    return panel;
}

QFrame *MakeBevelPanel(QWidget *parent, int x, int y, int w, int h)
{
    QFrame *panel = MakeBevelPanel(parent, kPanelFace);
    panel->setGeometry(x, y, w, h);
    return panel;
}

QLabel *MakeBoldLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QLabel *MakeBoldLabel(QWidget *parent, const QString &text, int x, int y, int pointSize)
{
    QLabel *label = MakeBoldLabel(text, parent);
    QFont f = label->font();
    f.setPointSize(pointSize);
    label->setFont(f);
    label->move(x, y);
    label->adjustSize();
    return label;
}

void SetTextColour(QLabel *label, const QColor &colour)
{
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, colour);
    pal.setColor(QPalette::Disabled, QPalette::WindowText, colour);
    label->setPalette(pal);
}

} // namespace ardel
