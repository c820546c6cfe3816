#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class RichEdit;

// What the find and replace dialogs share: the search field "FindText" of at most
// 255 bytes in code page 936, the whole-word and match-case boxes, Find Next
// (the default button) and Cancel, which hides the dialog. Modeless.
class TSearchDialog : public QDialog
{
    Q_OBJECT

public:
    QString findText() const;
    // Presets the search field; a text of more than 255 bytes in code page 936 is
    // cut to its first 255 bytes, never inside a character.
    void setFindText(const QString &text);
    bool matchCase() const;
    bool wholeWord() const;

signals:
    // Find Next was pressed.
    void findNext();

protected:
    TSearchDialog(QWidget *parent, const QString &objectName, const QString &title);

    // A field of at most 255 bytes in code page 936, as the search field is.
    QLineEdit *makeBoundedField(const QString &objectName);
    QPushButton *makeButton(const QString &objectName, const QString &caption);
    // The search field's label, "查找内容(&N):".
    QWidget *findLabel();

    QLineEdit *const m_findEdit;
    QCheckBox *const m_wholeWord;
    QCheckBox *const m_matchCase;
    QPushButton *const m_findNextButton;
    QPushButton *const m_cancelButton;
};

// The modeless find dialog (objectName "DlgFind"): a search field of at most 255
// bytes in code page 936, whole-word and match-case boxes, the direction buttons
// up and down (down preset; up searches backward), Find Next and Cancel.
// It stays open between searches and keeps its fields; Cancel and Escape hide it.
// User-interface thread only.
class TFindDialog : public TSearchDialog
{
    Q_OBJECT

public:
    explicit TFindDialog(QWidget *parent = nullptr);

    bool searchDown() const;

private:
    QRadioButton *m_up;
    QRadioButton *m_down;
};

// The modeless replace dialog (objectName "DlgReplace"): the search field, a
// replacement field of at most 255 bytes in code page 936, whole-word and
// match-case boxes, Find Next, Replace, Replace All and Cancel.
// User-interface thread only.
class TReplaceDialog : public TSearchDialog
{
    Q_OBJECT

public:
    explicit TReplaceDialog(QWidget *parent = nullptr);

    QString replaceText() const;
    void setReplaceText(const QString &text);
    // Whether the last replace request came from Replace All.
    bool replaceAll() const { return m_replaceAll; }

signals:
    // Replace (all = false) or Replace All (all = true) was pressed.
    void replace(bool all);

private:
    QLineEdit *m_replaceEdit;
    bool m_replaceAll = false;
};

// The search step on `edit`: a non-empty selection moves the start one character
// past its first character; from there the first occurrence of `what` is selected
// (the focus stays where it is). When there is none, an information box
// "文档搜索完毕！" titled "查找" (parent `msgParent`) is shown and, once closed, the
// caret goes to position 0. An empty `what` is never found. With `down` false the
// step searches backward instead: the nearest occurrence that starts before the
// selection is selected, and after the box the caret goes to the end.
void FindStep(QWidget *msgParent, RichEdit *edit, const QString &what, bool matchCase,
    bool wholeWord, bool down = true);

// Replace: a non-empty selection, whatever it holds, is replaced by the dialog's
// replacement text, then the search step runs with the dialog's search text and
// options. With `all` this repeats while the search step leaves a hit selected,
// so it ends after the last occurrence with the message and the caret at 0.
void ReplaceStep(QWidget *msgParent, RichEdit *edit, const TReplaceDialog &dlg, bool all);
