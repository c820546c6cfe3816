#include "about.h"

#include "icons.h"
#include "text/uitext.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TAboutBox *AboutBox = nullptr;

namespace {

// The box's texts; a new one is written as these are, then `make translations`
// brings it into the catalogue (translations/byteway_en.ts).
namespace Texts {
inline constexpr const char *kContext = "AboutBox";
inline constexpr UiText Caption { kContext, QT_TRANSLATE_NOOP("AboutBox", "关于") };
const QString Product = QStringLiteral("Byteway"); // untranslated
inline constexpr UiText Version { kContext, QT_TRANSLATE_NOOP("AboutBox", "Version1.00   ") };
inline constexpr UiText Ok { kContext, QT_TRANSLATE_NOOP("AboutBox", "OK") };
} // namespace Texts

QFont boxFont(int pixelSize)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    // Where that face is missing, the platform's sans face stands in.
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    return font;
}

QLabel *addLabel(QWidget *parent, const QString &name, const QString &text, QPoint at)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(at);
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent,
        Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
            | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(Texts::Caption);
    setFont(boxFont(11));
    setFixedSize(304, 218);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setGeometry(8, 8, 289, 161);

    ProgramIcon = addLabel(Panel1, QStringLiteral("ProgramIcon"), QString(), { 8, 8 });
    ProgramIcon->resize(65, 57);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(Icons::ProgramIcon().pixmap(128, 128));

    ProductName = addLabel(Panel1, QStringLiteral("ProductName"), Texts::Product, { 128, 24 });
    QFont productFont = boxFont(16);
    productFont.setBold(true);
    ProductName->setFont(productFont);
    QPalette productPalette = ProductName->palette();
    productPalette.setColor(QPalette::WindowText, Qt::blue);
    ProductName->setPalette(productPalette);
    ProductName->adjustSize();

    Version = addLabel(Panel1, QStringLiteral("Version"), Texts::Version, { 136, 56 });
    Version->adjustSize();

    OKButton = new QPushButton(Texts::Ok, this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(128, 178, 65, 33);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    OKButton->setFocus();
}
