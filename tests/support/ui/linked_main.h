#pragma once
// The main window on a serial link to the simulated device: its connection dialog opens the
// mapped COM number straight away, with one attempt per pass and short timeouts, so a silent
// device fails quickly.

#include "app/main.h"
#include "support/scripted_operator.h"
#include "support/sim_com.h"

#include <memory>

class LinkedMain : public TFormMain
{
public:
    LinkedMain(const QStringList& args, int com) : TFormMain(args), com_(com) {}

protected:
    bool RunConnectDialog() override;

private:
    int com_;
};

// A test with a LinkedMain that went through the start-up and the connect flow, and a
// scripted operator that records the messages.
class LinkedMainTest : public SimComTest
{
protected:
    explicit LinkedMainTest(int com) : SimComTest(com) {}

    void SetUp() override;
    void TearDown() override;

    ScriptedOperator op;
    std::unique_ptr<LinkedMain> window;
};
