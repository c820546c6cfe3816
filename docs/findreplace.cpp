#include "findreplace.h"

#include "codepage.h"
#include "richedit.h"
#include "uitext.h"

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

QLineEdit *makeField(QWidget *parent, const QString &name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setValidator(new Cp936LimitValidator(edit));
    return edit;
}

QCheckBox *makeCheckBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QPushButton *makeButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

QLabel *makeBuddyLabel(QWidget *parent, const QString &caption, QWidget *buddy)
{
    auto *label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

} // namespace

TFindDialog::TFindDialog(QWidget *parent)
    : QDialog(parent)
    , m_findEdit(makeField(this, QStringLiteral("FindText")))
    , m_wholeWord(makeCheckBox(this, QStringLiteral("WholeWord"), Texts::WholeWord))
    , m_matchCase(makeCheckBox(this, QStringLiteral("MatchCase"), Texts::MatchCase))
    , m_up(new QRadioButton(Texts::Up))
    , m_down(new QRadioButton(Texts::Down))
{
    setObjectName(QStringLiteral("DlgFind"));
    setWindowTitle(Texts::FindTitle);
    setModal(false);
    m_up->setObjectName(QStringLiteral("Up"));
    m_down->setObjectName(QStringLiteral("Down"));
    m_down->setChecked(true);

    auto *direction = new QGroupBox(Texts::Direction, this);
    auto *directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);

    QPushButton *findNext = makeButton(this, QStringLiteral("FindNext"), Texts::FindNext);
    findNext->setDefault(true);
    QPushButton *cancel = makeButton(this, QStringLiteral("Cancel"), Texts::Cancel);

    auto *grid = new QGridLayout(this);
    grid->addWidget(makeBuddyLabel(this, Texts::FindWhat, m_findEdit), 0, 0);
    grid->addWidget(m_findEdit, 0, 1, 1, 2);
    grid->addWidget(findNext, 0, 3);
    grid->addWidget(m_wholeWord, 1, 0, 1, 2);
    grid->addWidget(direction, 1, 2, 2, 1);
    grid->addWidget(cancel, 1, 3);
    grid->addWidget(m_matchCase, 2, 0, 1, 2);

    connect(findNext, &QPushButton::clicked, this, &TFindDialog::findNext);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TFindDialog::findText() const
{
    return m_findEdit->text();
}

void TFindDialog::setFindText(const QString &text)
{
    m_findEdit->setText(boundedText(text));
}

bool TFindDialog::matchCase() const
{
    return m_matchCase->isChecked();
}

bool TFindDialog::wholeWord() const
{
    return m_wholeWord->isChecked();
}

bool TFindDialog::searchDown() const
{
    return m_down->isChecked();
}

TReplaceDialog::TReplaceDialog(QWidget *parent)
    : QDialog(parent)
    , m_findEdit(makeField(this, QStringLiteral("FindText")))
    , m_replaceEdit(makeField(this, QStringLiteral("ReplaceText")))
    , m_wholeWord(makeCheckBox(this, QStringLiteral("WholeWord"), Texts::WholeWord))
    , m_matchCase(makeCheckBox(this, QStringLiteral("MatchCase"), Texts::MatchCase))
{
    setObjectName(QStringLiteral("DlgReplace"));
    setWindowTitle(Texts::ReplaceTitle);
    setModal(false);

    QPushButton *findNext = makeButton(this, QStringLiteral("FindNext"), Texts::FindNext);
    findNext->setDefault(true);
    QPushButton *replaceOne = makeButton(this, QStringLiteral("Replace"), Texts::Replace);
    QPushButton *replaceAll = makeButton(this, QStringLiteral("ReplaceAll"), Texts::ReplaceAll);
    QPushButton *cancel = makeButton(this, QStringLiteral("Cancel"), Texts::Cancel);

    auto *grid = new QGridLayout(this);
    grid->addWidget(makeBuddyLabel(this, Texts::FindWhat, m_findEdit), 0, 0);
    grid->addWidget(m_findEdit, 0, 1);
    grid->addWidget(findNext, 0, 2);
    grid->addWidget(makeBuddyLabel(this, Texts::ReplaceWith, m_replaceEdit), 1, 0);
    grid->addWidget(m_replaceEdit, 1, 1);
    grid->addWidget(replaceOne, 1, 2);
    grid->addWidget(replaceAll, 2, 2);
    grid->addWidget(m_wholeWord, 3, 0, 1, 2);
    grid->addWidget(cancel, 3, 2);
    grid->addWidget(m_matchCase, 4, 0, 1, 2);

    connect(findNext, &QPushButton::clicked, this, &TReplaceDialog::findNext);
    connect(replaceOne, &QPushButton::clicked, this, [this] {
        m_replaceAll = false;
        emit replace(false);
    });
    connect(replaceAll, &QPushButton::clicked, this, [this] {
        m_replaceAll = true;
        emit replace(true);
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QString TReplaceDialog::findText() const
{
    return m_findEdit->text();
}

void TReplaceDialog::setFindText(const QString &text)
{
    m_findEdit->setText(boundedText(text));
}

QString TReplaceDialog::replaceText() const
{
    return m_replaceEdit->text();
}

void TReplaceDialog::setReplaceText(const QString &text)
{
    m_replaceEdit->setText(boundedText(text));
}

bool TReplaceDialog::matchCase() const
{
    return m_matchCase->isChecked();
}

bool TReplaceDialog::wholeWord() const
{
    return m_wholeWord->isChecked();
}

void FindStep(
    QWidget *msgParent, RichEdit *edit, const QString &what, bool matchCase, bool wholeWord)
{
    if (!edit) {
        return;
    }
    // Starting one character into the selected hit lets overlapping hits be found.
    if (edit->selLength() > 0) {
        edit->setSelStart(edit->selStart() + 1);
    }
    const int hit = edit->findText(what, edit->selStart(), matchCase, wholeWord);
    if (hit >= 0) {
        edit->setSelStart(hit);
        edit->setSelLength(static_cast<int>(what.size()));
        return;
    }
    QMessageBox box(
        QMessageBox::Information, Texts::FindTitle, Texts::SearchDone, QMessageBox::Ok, msgParent);
    box.setObjectName(QStringLiteral("SearchDone"));
    box.exec();
    edit->setSelStart(0);
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
    FindStep(msgParent, edit, what, dlg.matchCase(), dlg.wholeWord());
    // Every search after a replacement starts behind the inserted text, so a
    // replacement that contains the search text cannot make this loop for ever.
    while (all && edit->selLength() > 0) {
        replaceSelection();
        FindStep(msgParent, edit, what, dlg.matchCase(), dlg.wholeWord());
    }
}
