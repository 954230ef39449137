#pragma once
// What the system itself holds as the line settings of an open serial device, read straight
// from the driver rather than from QSerialPort's own copy.

struct LineProbe {
    long baud = 0;
    int dataBits = 0;
    bool parity = false;
    bool oddParity = false;
    bool twoStopBits = false;
};

// False when the settings of the descriptor cannot be read.
bool ProbeLine(int fd, LineProbe* probe);
