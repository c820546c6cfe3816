#include "ptyport.h"

PtyPort::PtyPort(bool openPort)
    : m_openPort(openPort)
{
    m_home.link(1, m_device.slaveName());
    if (m_openPort) {
        port.Open(1, 115200, 0, 0, 8);
    }
}

PtyPort::~PtyPort()
{
    port.Close();
}
