// The dialog in which the user picks the local connections to listen and send on.
#pragma once

#include "net/UDPComms.h"

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;

namespace ardel {

class Tf_netparam : public QDialog, public TCheckBoxParent {
    Q_OBJECT
public:
    explicit Tf_netparam(QWidget *parent = nullptr);

    int Answer() const { return m_answer; }
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
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    void bbtn_setClick();
    void bbtn_backClick();

    QWidget *m_content = nullptr;
    int m_answer = 0;
};

// Shared look of the program's windows: navy client area, bevelled panels, bold labels.
void ApplyNavyBackground(QWidget *w);
QFrame *MakeBevelPanel(QWidget *parent, int x, int y, int w, int h);
QLabel *MakeBoldLabel(QWidget *parent, const QString &text, int x, int y, int pointSize = 8);

} // namespace ardel
