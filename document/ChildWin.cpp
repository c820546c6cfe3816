#include "ChildWin.h"

#include "text/uitext.h"
#include "textview/richedit.h"

namespace {

// The window's texts; a new one is written as these are, then `make translations`
// brings it into the catalogue (translations/byteway_en.ts).
namespace Texts {
inline constexpr const char *kContext = "TMDIChild";
// What assistive clients call the document's text.
inline constexpr UiText DocumentName { kContext, QT_TRANSLATE_NOOP("TMDIChild", "文档内容") };
} // namespace Texts

} // namespace

TMDIChild::TMDIChild(QWidget *parent)
    : QMdiSubWindow(parent)
    , RichEdit1(new RichEdit(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWidget(RichEdit1);
    setFocusProxy(RichEdit1);
    RichEdit1->setAccessibleName(Texts::DocumentName);
    resize(290, 207);
}
