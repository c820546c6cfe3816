#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: the program's picture, name and version and an OK button.
// Shown modally by the main window's Help menu; hidden between showings.
// User-interface thread only.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QFrame *Panel1;
    QLabel *ProgramIcon;
    QLabel *ProductName;
    QLabel *Version;
    QPushButton *OKButton;

protected:
    void showEvent(QShowEvent *event) override;
};

extern TAboutBox *AboutBox;
