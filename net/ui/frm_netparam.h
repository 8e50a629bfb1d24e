// The dialog in which the user picks the local connections to listen and send on.
#pragma once

#include "net/UDPComms.h"
#include "ui/AnswerDialog.h"

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;

namespace ardel {

class Tf_netparam : public AnswerDialog, public TCheckBoxParent {
    Q_OBJECT
public:
    explicit Tf_netparam(QWidget *parent = nullptr, TBuild build = TBuild::Now);

    // The template the connection boxes copy their geometry from.
    TCheckBoxTemplate TemplateGeometry() const;
    TConnectionCheckBox *CreateCheckBox(const QString &caption, int left, int top, int width, int height) override;

    QFrame *Panel1 = nullptr;
    QLabel *Label1 = nullptr;
    QScrollArea *sb_net = nullptr;
    QCheckBox *cb_first = nullptr;
    QPushButton *bbtn_set = nullptr;
    QPushButton *bbtn_back = nullptr;

protected:
    void buildControls() override;
    void bbtn_setClick() override;

private:
    // The scroll area's content; the connection boxes go into it at start-up,
    // before the rest of the controls are built.
    QWidget *m_content = nullptr;
};

} // namespace ardel
