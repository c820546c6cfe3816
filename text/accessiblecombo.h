#pragma once

class QObject;
class QAccessibleInterface;
class QString;

// On Linux, Qt names a combo box after its current item, so a screen reader hears
// "16进制" where it should hear "数据格式". Combo boxes are read through this
// interface instead: the accessible name says what the box is (a box without one
// reads as its value, as before), the value holds the current item, and the list
// and the edit field stay its children.
// Install once: QAccessible::installFactory(AccessibleComboFactory).
QAccessibleInterface *AccessibleComboFactory(const QString &className, QObject *object);
