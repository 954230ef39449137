#pragma once
// The serial side of the simulated device driven through the slave end of its pseudo-terminal
// with plain system calls.

#include "sim/serial_device.h"

#include <QByteArray>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

inline QByteArray bytesOf(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

inline QByteArray frame(int code, const QByteArray& data = {})
{
    return bytesOf({0x57, 0xAB, code}) + data;
}

class SimSerial : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << qPrintable(error);
        fd = ::open(sim.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios tio{};
        ASSERT_EQ(::tcgetattr(fd, &tio), 0);
        ::cfmakeraw(&tio);
        ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    }
    void TearDown() override
    {
        if (fd >= 0)
            ::close(fd);
    }

    void send(const QByteArray& bytes) const
    {
        ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    }

    // Reads until n bytes came or the line stayed quiet for quietMs.
    QByteArray receive(int n, int quietMs = 500) const
    {
        QByteArray out;
        while (out.size() < n) {
            pollfd p = {fd, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0)
                break;
            char buf[64];
            const ssize_t got = ::read(fd, buf, sizeof buf);
            if (got <= 0)
                break;
            out.append(buf, int(got));
        }
        return out;
    }

    // One command, its whole answer.
    QByteArray command(int code, const QByteArray& data = {}) const
    {
        send(frame(code, data));
        return receive(FindSimCommand(quint8(code)).replyLength);
    }

    SimSerialDevice sim;
    int fd = -1;
};
