#include "findreplace.h"

#include "text/codepage.h"
#include "text/uitext.h"
#include "textview/richedit.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QValidator>

#include <initializer_list>

namespace {

// The dialogs' texts; a new one is written as these are, then `make translations`
// brings it into the catalogue (translations/byteway_en.ts).
namespace Texts {
inline constexpr const char *kContext = "FindReplace";
inline constexpr UiText FindTitle { kContext, QT_TRANSLATE_NOOP("FindReplace", "查找") };
inline constexpr UiText ReplaceTitle { kContext, QT_TRANSLATE_NOOP("FindReplace", "替换") };
inline constexpr UiText FindWhat { kContext, QT_TRANSLATE_NOOP("FindReplace", "查找内容(&N):") };
inline constexpr UiText ReplaceWith { kContext, QT_TRANSLATE_NOOP("FindReplace", "替换为(&P):") };
inline constexpr UiText WholeWord { kContext, QT_TRANSLATE_NOOP("FindReplace", "全字匹配(&W)") };
inline constexpr UiText MatchCase { kContext, QT_TRANSLATE_NOOP("FindReplace", "区分大小写(&C)") };
inline constexpr UiText Direction { kContext, QT_TRANSLATE_NOOP("FindReplace", "方向") };
inline constexpr UiText Up { kContext, QT_TRANSLATE_NOOP("FindReplace", "向上(&U)") };
inline constexpr UiText Down { kContext, QT_TRANSLATE_NOOP("FindReplace", "向下(&D)") };
inline constexpr UiText FindNext { kContext, QT_TRANSLATE_NOOP("FindReplace", "查找下一个(&F)") };
inline constexpr UiText Replace { kContext, QT_TRANSLATE_NOOP("FindReplace", "替换(&R)") };
inline constexpr UiText ReplaceAll { kContext, QT_TRANSLATE_NOOP("FindReplace", "全部替换(&A)") };
inline constexpr UiText Cancel { kContext, QT_TRANSLATE_NOOP("FindReplace", "取消") };
inline constexpr UiText SearchDone { kContext, QT_TRANSLATE_NOOP("FindReplace", "文档搜索完毕！") };
} // namespace Texts

constexpr std::size_t kFieldBytes = 255;

QString boundedText(const QString &text)
{
    if (ToCp936(text).size() <= kFieldBytes) {
        return text;
    }
    return FromCp936(ToCp936Bounded(text, kFieldBytes));
}

// Keeps a field within kFieldBytes of code page 936: typed or pasted text beyond
// that is cut off, as a standard dialog's limited edit does.
class Cp936LimitValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &pos) const override
    {
        input = boundedText(input);
        pos = std::min(pos, static_cast<int>(input.size()));
        return Acceptable;
    }
};

QCheckBox *makeCheckBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QPushButton *makePushButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLineEdit *makeField(QWidget *parent, const QString &name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setValidator(new Cp936LimitValidator(edit));
    return edit;
}

// Tab goes through `widgets` in this order.
void setTabChain(std::initializer_list<QWidget *> widgets)
{
    QWidget *previous = nullptr;
    for (QWidget *widget : widgets) {
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

} // namespace

TSearchDialog::TSearchDialog(QWidget *parent, const QString &objectName, const QString &title)
    : QDialog(parent)
    , m_findEdit(makeField(this, QStringLiteral("FindText")))
    , m_wholeWord(makeCheckBox(this, QStringLiteral("WholeWord"), Texts::WholeWord))
    , m_matchCase(makeCheckBox(this, QStringLiteral("MatchCase"), Texts::MatchCase))
    , m_findNextButton(makePushButton(this, QStringLiteral("FindNext"), Texts::FindNext))
    , m_cancelButton(makePushButton(this, QStringLiteral("Cancel"), Texts::Cancel))
{
    setObjectName(objectName);
    setWindowTitle(title);
    setModal(false);
    m_findNextButton->setDefault(true);
    connect(m_findNextButton, &QPushButton::clicked, this, &TSearchDialog::findNext);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

QLineEdit *TSearchDialog::makeBoundedField(const QString &objectName)
{
    return makeField(this, objectName);
}

QPushButton *TSearchDialog::makeButton(const QString &objectName, const QString &caption)
{
    return makePushButton(this, objectName, caption);
}

QWidget *TSearchDialog::findLabel()
{
    auto *label = new QLabel(Texts::FindWhat, this);
    label->setBuddy(m_findEdit);
    return label;
}

QString TSearchDialog::findText() const
{
    return m_findEdit->text();
}

void TSearchDialog::setFindText(const QString &text)
{
    m_findEdit->setText(boundedText(text));
}

bool TSearchDialog::matchCase() const
{
    return m_matchCase->isChecked();
}

bool TSearchDialog::wholeWord() const
{
    return m_wholeWord->isChecked();
}

TFindDialog::TFindDialog(QWidget *parent)
    : TSearchDialog(parent, QStringLiteral("DlgFind"), Texts::FindTitle)
    , m_up(new QRadioButton(Texts::Up))
    , m_down(new QRadioButton(Texts::Down))
{
    m_up->setObjectName(QStringLiteral("Up"));
    m_down->setObjectName(QStringLiteral("Down"));
    m_down->setChecked(true);

    auto *direction = new QGroupBox(Texts::Direction, this);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);

    auto *grid = new QGridLayout(this);
    grid->addWidget(findLabel(), 0, 0);
    grid->addWidget(m_findEdit, 0, 1, 1, 2);
    grid->addWidget(m_findNextButton, 0, 3);
    grid->addWidget(m_wholeWord, 1, 0, 1, 2);
    grid->addWidget(direction, 1, 2, 2, 1);
    grid->addWidget(m_cancelButton, 1, 3);
    grid->addWidget(m_matchCase, 2, 0, 1, 2);
    setTabChain(
        { m_findEdit, m_wholeWord, m_matchCase, m_up, m_down, m_findNextButton, m_cancelButton });
}

bool TFindDialog::searchDown() const
{
    return m_down->isChecked();
}

TReplaceDialog::TReplaceDialog(QWidget *parent)
    : TSearchDialog(parent, QStringLiteral("DlgReplace"), Texts::ReplaceTitle)
    , m_replaceEdit(makeBoundedField(QStringLiteral("ReplaceText")))
{
    QPushButton *replaceOne = makeButton(QStringLiteral("Replace"), Texts::Replace);
    QPushButton *replaceAll = makeButton(QStringLiteral("ReplaceAll"), Texts::ReplaceAll);

    auto *replaceLabel = new QLabel(Texts::ReplaceWith, this);
    replaceLabel->setBuddy(m_replaceEdit);
    auto *grid = new QGridLayout(this);
    grid->addWidget(findLabel(), 0, 0);
    grid->addWidget(m_findEdit, 0, 1);
    grid->addWidget(m_findNextButton, 0, 2);
    grid->addWidget(replaceLabel, 1, 0);
    grid->addWidget(m_replaceEdit, 1, 1);
    grid->addWidget(replaceOne, 1, 2);
    grid->addWidget(replaceAll, 2, 2);
    grid->addWidget(m_wholeWord, 3, 0, 1, 2);
    grid->addWidget(m_cancelButton, 3, 2);
    grid->addWidget(m_matchCase, 4, 0, 1, 2);
    setTabChain({ m_findEdit, m_replaceEdit, m_wholeWord, m_matchCase, m_findNextButton, replaceOne,
        replaceAll, m_cancelButton });

    connect(replaceOne, &QPushButton::clicked, this, [this] {
        m_replaceAll = false;
        emit replace(false);
    });
    connect(replaceAll, &QPushButton::clicked, this, [this] {
        m_replaceAll = true;
        emit replace(true);
    });
}

QString TReplaceDialog::replaceText() const
{
    return m_replaceEdit->text();
}

void TReplaceDialog::setReplaceText(const QString &text)
{
    m_replaceEdit->setText(boundedText(text));
}

void FindStep(QWidget *msgParent, RichEdit *edit, const QString &what, bool matchCase,
    bool wholeWord, bool down)
{
    if (!edit) {
        return;
    }
    int hit = -1;
    if (down) {
        // Starting one character into the selected hit lets overlapping hits be found.
        if (edit->selLength() > 0) {
            edit->setSelStart(edit->selStart() + 1);
        }
        hit = edit->findText(what, edit->selStart(), matchCase, wholeWord);
    } else {
        // Up: the nearest hit that starts before the selection, overlapping ones too.
        hit = edit->findTextBefore(what, edit->selStart(), matchCase, wholeWord);
    }
    if (hit >= 0) {
        edit->setSelStart(hit);
        edit->setSelLength(static_cast<int>(what.size()));
        return;
    }
    QMessageBox box(
        QMessageBox::Information, Texts::FindTitle, Texts::SearchDone, QMessageBox::Ok, msgParent);
    box.setObjectName(QStringLiteral("SearchDone"));
    box.exec();
    // The next search starts over from the end the search ran towards.
    edit->setSelStart(down ? 0 : edit->characterCount());
}

void ReplaceStep(QWidget *msgParent, RichEdit *edit, const TReplaceDialog &dlg, bool all)
{
    if (!edit) {
        return;
    }
    const QString what = dlg.findText();
    const QString with = dlg.replaceText();
    auto replaceSelection = [&] {
        if (edit->selLength() > 0) {
            edit->insertTextAtCaret(with);
        }
    };
    replaceSelection();
    if (all) {
        // Every search after a replacement starts behind the inserted text, so a
        // replacement that contains the search text is never replaced again; the
        // whole run is one pass over the text.
        if (!edit->replaceAll(what, with, edit->selStart(), dlg.matchCase(), dlg.wholeWord())) {
            QApplication::beep();
        }
    }
    // Selects the next hit, or (after a Replace All, always) says the search is done.
    FindStep(msgParent, edit, what, dlg.matchCase(), dlg.wholeWord());
}
