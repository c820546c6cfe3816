#pragma once

class TMainForm;

// While a file transfer (or another user of the whole line) owns the port: a
// running reception is paused and started again afterwards, a running send is held
// between two bytes and goes on afterwards, the send timer Timer1 is held, and
// 发送, 接收 and the file items cannot be pressed. Holds nest; the last release
// gives everything back. User-interface thread.
class PortHold
{
public:
    explicit PortHold(TMainForm &form);
    ~PortHold();
    PortHold(const PortHold &) = delete;
    PortHold &operator=(const PortHold &) = delete;

    // Whether someone owns the port now.
    static bool isHeld();

private:
    TMainForm &m_form;
    bool m_wasReceiving = false;
    bool m_wasSending = false;
    bool m_timerWasOn = false;
};
