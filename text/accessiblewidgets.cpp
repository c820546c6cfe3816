#include "accessiblewidgets.h"

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
        QString value = box()->isEditable() && box()->lineEdit() ? box()->lineEdit()->text()
                                                                 : box()->currentText();
        if (t == QAccessible::Value) {
            return value;
        }
        // The accessible name, else the caption of the label it is the buddy of; a box
        // with neither reads as its value, as Qt's own interface has it.
        QString text = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && text.isEmpty()) {
            return value;
        }
        return text;
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

// A plain QWidget of the program's own: a window while it is one (Qt would call a
// top-level one a filler), a client otherwise. Asked each time, since Qt keeps the
// interface from the widget's construction, when a widget made without a parent is
// a window for a moment.
class AccessiblePlainWidget : public QAccessibleWidget
{
public:
    explicit AccessiblePlainWidget(QWidget *widget)
        : QAccessibleWidget(widget)
    { }
    QAccessible::Role role() const override
    {
        return widget()->isWindow() ? QAccessible::Window : QAccessible::Client;
    }
};

} // namespace

QAccessibleInterface *AccessibleWidgetsFactory(const QString &className, QObject *object)
{
    // Every combo box: Qt asks while the box is still being built, before it has a
    // name, and keeps the answer.
    if (auto *box = qobject_cast<QComboBox *>(object)) {
        return new AccessibleCombo(box);
    }
    auto *widget = qobject_cast<QWidget *>(object);
    if (widget != nullptr && className == QLatin1String(widget->metaObject()->className())
        && widget->metaObject()->superClass() == &QWidget::staticMetaObject
        && !className.startsWith(QLatin1Char('Q'))) {
        return new AccessiblePlainWidget(widget);
    }
    return nullptr;
}
