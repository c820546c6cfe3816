#include "accessiblecombo.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace {

class AccessibleCombo : public QAccessibleWidget
{
public:
    explicit AccessibleCombo(QComboBox *box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    { }

    QString text(QAccessible::Text t) const override
    {
        // A box nobody named reads as its value, as Qt's own interface has it.
        if (t == QAccessible::Value
            || (t == QAccessible::Name && box()->accessibleName().isEmpty())) {
            return box()->isEditable() && box()->lineEdit() ? box()->lineEdit()->text()
                                                            : box()->currentText();
        }
        return QAccessibleWidget::text(t);
    }

    // The list first, then the edit field of an editable box.
    int childCount() const override { return box()->lineEdit() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0) {
            return QAccessible::queryAccessibleInterface(box()->view());
        }
        if (index == 1 && box()->lineEdit()) {
            return QAccessible::queryAccessibleInterface(box()->lineEdit());
        }
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (child == nullptr) {
            return -1;
        }
        if (child->object() == box()->view()) {
            return 0;
        }
        return box()->lineEdit() && child->object() == box()->lineEdit() ? 1 : -1;
    }

    QStringList actionNames() const override
    {
        return QStringList { showMenuAction() } + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &actionName) override
    {
        if (actionName == showMenuAction() || actionName == pressAction()) {
            box()->showPopup();
        } else {
            QAccessibleWidget::doAction(actionName);
        }
    }

private:
    QComboBox *box() const { return static_cast<QComboBox *>(widget()); }
};

} // namespace

QAccessibleInterface *AccessibleComboFactory(const QString &className, QObject *object)
{
    Q_UNUSED(className);
    // Every combo box: Qt asks while the box is still being built, before it has a
    // name, and keeps the answer.
    auto *box = qobject_cast<QComboBox *>(object);
    return box != nullptr ? new AccessibleCombo(box) : nullptr;
}
