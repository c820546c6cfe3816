#pragma once

class QObject;
class QAccessibleInterface;
class QString;

// On Linux, Qt names a combo box after its current item, so a screen reader hears
// "16进制" where it should hear "数据格式". Combo boxes are read through this
// interface instead: the accessible name, or the caption of the label whose buddy it
// is, says what the box is (a box with neither reads as its value, as before), the
// value holds the current item, and the list and the edit field stay its children.
// A window of the program's own that is a plain QWidget (the line test, the session
// view, the automation windows) reads as a window, not as a filler.
// Install once: QAccessible::installFactory(AccessibleWidgetsFactory).
QAccessibleInterface *AccessibleWidgetsFactory(const QString &className, QObject *object);
