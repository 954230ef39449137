#pragma once
// A test whose simulated device answers on a COM number: the simulator runs on a
// pseudo-terminal, and a temporary program directory maps the number to it.

#include "sim/serial_device.h"
#include "support/temp_program.h"

#include <QSerialPort>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

struct ComOpenError;
struct LinkContext;

// Command codes in the order the device took them.
using Codes = std::vector<int>;
// The codes of the frames the simulated device took since the start or its last clearLog.
Codes SentCodes(const SimSerialDevice& sim);
// The codes of a followed by those of b.
Codes operator+(Codes a, const Codes& b);

class SimComTest : public ::testing::Test
{
protected:
    explicit SimComTest(int com) : com_(com) {}

    void SetUp() override;

    // The mapped port opened as the connection dialog opens it: 9600 bit/s, 8N1, DTR on.
    std::unique_ptr<QSerialPort> openCom(ComOpenError* error = nullptr) const;

    // Gives ctx its defaults and the mapped port, opened by openCom.
    void openLink(LinkContext& ctx) const;

    int com() const { return com_; }

    TempProgramDir program;
    SimSerialDevice sim;

private:
    int com_;
};
