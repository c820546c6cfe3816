#include "ChildWin.h"

#include "textview/richedit.h"

TMDIChild::TMDIChild(QWidget *parent)
    : QMdiSubWindow(parent)
    , RichEdit1(new RichEdit(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(RichEdit1);
    setFocusProxy(RichEdit1);
    resize(290, 207);
}
