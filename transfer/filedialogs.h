#pragma once

#include "modem.h"
#include "rawsend.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

// What the user chose in 文件 → 发送文件.
struct FileSendChoice
{
    QString path;
    std::optional<ModemKind> protocol; // none: raw
    RawPacing pacing;
    bool echo = false; // small raw files: every byte into the window, as 发送 does
};

// 文件 → 发送文件: the file, the protocol and, for raw sending, the pacing and the
// wait for a prompt after each line. User-interface thread.
class FileSendDialog : public QDialog
{
    Q_OBJECT

public:
    // `gapUs`: the pacing offered at first (FTwoCharDelay).
    explicit FileSendDialog(int gapUs, QWidget *parent = nullptr);
    FileSendChoice choice() const;
    void accept() override;
    // The file and the protocol to offer (the ones chosen last time): the protocol by
    // its name ("XMODEM-1K", ...), an empty or unknown one meaning raw.
    void offer(const QString &path, const QString &protocol);
    // The chosen protocol's name, empty for raw.
    QString protocolName() const;

private:
    void updateRawFields();

    QLineEdit *m_path = nullptr;
    QComboBox *m_protocol = nullptr;
    QSpinBox *m_gap = nullptr;
    QSpinBox *m_chunk = nullptr;
    QSpinBox *m_chunkDelay = nullptr;
    QCheckBox *m_waitPrompt = nullptr;
    QLineEdit *m_prompt = nullptr;
    QSpinBox *m_promptTimeout = nullptr;
    QCheckBox *m_echo = nullptr;
};

// What the user chose in 文件 → 接收文件.
struct FileReceiveChoice
{
    QString folder;
    ModemKind protocol = ModemKind::Ymodem;
    QString xmodemName;
};

// 文件 → 接收文件: the folder, the protocol and, for XMODEM, the file's name.
class FileReceiveDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FileReceiveDialog(const QString &folder, QWidget *parent = nullptr);
    FileReceiveChoice choice() const;
    void accept() override;

private:
    QLineEdit *m_folder = nullptr;
    QComboBox *m_protocol = nullptr;
    QLineEdit *m_name = nullptr;
};
