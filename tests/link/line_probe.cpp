// Kept apart from every other file: the kernel's termios2 header cannot share a unit with
// the C library's <termios.h>.
#include "line_probe.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ProbeLine(int fd, LineProbe* probe)
{
    struct termios2 tio {
    };
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    probe->baud = long(tio.c_ospeed);
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        probe->dataBits = 5;
        break;
    case CS6:
        probe->dataBits = 6;
        break;
    case CS7:
        probe->dataBits = 7;
        break;
    default:
        probe->dataBits = 8;
        break;
    }
    probe->parity = (tio.c_cflag & PARENB) != 0;
    probe->oddParity = (tio.c_cflag & PARODD) != 0;
    probe->twoStopBits = (tio.c_cflag & CSTOPB) != 0;
    return true;
}
