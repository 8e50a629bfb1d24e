#include "net/ui/frm_netparam.h"

#include "ui/DeferredIcons.h"
#include "ui/Look.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRect>
#include <QScrollArea>
#include <QStyle>

namespace ardel {

namespace {

// A check box whose caption wraps, as the connection captions are long.
class WrappedCheckBox : public QWidget, public TConnectionCheckBox {
public:
    WrappedCheckBox(const QString &caption, QWidget *parent) : QWidget(parent)
    {
        auto *lay = new QHBoxLayout(this);
        lay->setContentsMargins(0, 0, 0, 0);
        m_box = new QCheckBox(this);
        m_label = new QLabel(caption, this);
        m_label->setTextFormat(Qt::PlainText);
        m_label->setWordWrap(true);
        lay->addWidget(m_box, 0, Qt::AlignTop);
        lay->addWidget(m_label, 1);
        m_box->setAccessibleName(caption);
    }
    bool IsChecked() const override { return m_box->isChecked(); }
    void SetChecked(bool checked) override { m_box->setChecked(checked); }
    QString Caption() const override { return m_label->text(); }

protected:
    void mouseReleaseEvent(QMouseEvent *e) override
    {
        if (e->button() == Qt::LeftButton)
            m_box->toggle();
    }

private:
    QCheckBox *m_box;
    QLabel *m_label;
};

// The template connection box's geometry inside the scroll area's content.
constexpr QRect kTemplate(16, 8, 305, 49);

} // namespace

Tf_netparam::Tf_netparam(QWidget *parent, TBuild build) : AnswerDialog(parent)
{
    setObjectName(QStringLiteral("f_netparam"));
    setWindowTitle(QStringLiteral("Hálózati paraméterek beállítása"));
    setFixedSize(399, 289);
    ApplyNavyBackground(this);
    m_content = new QWidget(this);
    m_content->resize(330, 60);
    m_content->hide();
    if (build == TBuild::Now)
        BuildControls();
}

void Tf_netparam::buildControls()
{
    Panel1 = MakeBevelPanel(this, 8, 8, 385, 234);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Label1 = MakeBoldLabel(Panel1, QStringLiteral("Hálózati csatlakozások:"), 16, 8);
    Label1->setObjectName(QStringLiteral("Label1"));

    sb_net = new QScrollArea(Panel1);
    sb_net->setObjectName(QStringLiteral("sb_net"));
    sb_net->setGeometry(16, 32, 353, 188);
    sb_net->setWidgetResizable(false);
    sb_net->setWidget(m_content);

    // The template only lends its geometry; it never carries a connection, so it is not shown.
    cb_first = new QCheckBox(QStringLiteral("cb_first"), m_content);
    cb_first->setObjectName(QStringLiteral("cb_first"));
    cb_first->setGeometry(kTemplate);
    cb_first->hide();

    bbtn_set = new QPushButton(QStringLiteral("Rendben"), this);
    SetIconWhenShown(bbtn_set, QStyle::SP_DialogOkButton);
    bbtn_set->setObjectName(QStringLiteral("bbtn_set"));
    bbtn_set->setGeometry(8, 251, 153, 25);
    bbtn_set->setDefault(true);
    bbtn_back = new QPushButton(QStringLiteral("Vissza"), this);
    SetIconWhenShown(bbtn_back, QStyle::SP_ArrowBack);
    bbtn_back->setObjectName(QStringLiteral("bbtn_back"));
    bbtn_back->setGeometry(240, 251, 153, 25);
    connect(bbtn_set, &QPushButton::clicked, this, &Tf_netparam::bbtn_setClick);
    connect(bbtn_back, &QPushButton::clicked, this, &Tf_netparam::bbtn_backClick);
}

TCheckBoxTemplate Tf_netparam::TemplateGeometry() const
{
    return {kTemplate.x(), kTemplate.y(), kTemplate.width(), kTemplate.height()};
}

TConnectionCheckBox *Tf_netparam::CreateCheckBox(const QString &caption, int left, int top, int width, int height)
{
    auto *box = new WrappedCheckBox(caption, m_content);
    box->setObjectName(
        QStringLiteral("cb_conn_%1").arg(m_content->findChildren<WrappedCheckBox *>(Qt::FindDirectChildrenOnly).size() - 1));
    box->setGeometry(left, top, width, height);
    // A box made while the content is hidden shows with it; showing it now
    // would lay out (and measure) its caption before the first broadcast.
    if (m_content->isVisible())
        box->show();
    m_content->resize(qMax(m_content->width(), left + width + 5), qMax(m_content->height(), top + height + 5));
    return box;
}

void Tf_netparam::bbtn_setClick()
{
    CloseWith(AnswerOk);
}

} // namespace ardel
