#pragma once

#include <QMdiSubWindow>

class RichEdit;

// A document window: a child of the main window's multiple-document area whose
// whole client area is the rich-text control RichEdit1. It keeps nothing but its
// text and deletes itself, text and all, when it is closed.
// User-interface thread only.
class TMDIChild : public QMdiSubWindow
{
    Q_OBJECT

public:
    explicit TMDIChild(QWidget *parent = nullptr);

    RichEdit *RichEdit1;
};
