#pragma once
// The main window: a grey panel with the status line and the main menu. It owns the link
// context, runs the start-up work and the connect flow, and keeps the menu in step with the
// state of the link.

#include "ui_main.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

struct DeviceConfig;
struct LinkContext;
struct WriteCheck;
class QTimer;

class TFormMain : public QMainWindow
{
    Q_OBJECT
public:
    // args is the program's argument list, argument 0 (the program path) first.
    explicit TFormMain(const QStringList& args, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Start-up work. False when the program has to end right away (the tw option out of
    // range): the operator has been told, and nothing after the option was set up.
    bool FormCreate();

    // The one link context of the process; none before FormCreate and after the close.
    LinkContext* linkContext() const { return link_.get(); }
    StatusLine* statusLine() const { return ui.StatusBar1; }

    // Closes the serial port and the UDP sockets and marks the link as gone. Never fails
    // (nothing can run on the link when it is called: see closeEvent and TimerStartTimer).
    void CloseLink();
    // Shows and enables the whole menu; without a link, disables the items that need one
    // and clears status panels 0 and 1.
    void SetMenuState();

    // The connect flow, run once by the start timer. While a menu handler runs (its exchange
    // or a dialog of its own), the flow waits for it: the timer is armed again.
    void TimerStartTimer();

protected:
    void showEvent(QShowEvent* event) override;
    // The window closes between the flows only: a close asked for while a menu handler or
    // the connect flow runs (from an exchange's held request, say) is carried out when it
    // has ended, since closing frees the link context they use.
    void closeEvent(QCloseEvent* event) override;

    // The connection dialog over this window, with the status line handed to it. True when
    // a device link is open afterwards.
    virtual bool RunConnectDialog();
    // The work over an open Ethernet link: the device line in status panel 1 and the
    // all-parameters form, until the form closes.
    virtual void RunEthernetWork();

private:
    // Marks a flow (a menu handler that uses the link, or the connect flow) as running.
    class FlowScope
    {
    public:
        explicit FlowScope(TFormMain& window);
        ~FlowScope();
        FlowScope(const FlowScope&) = delete;
        FlowScope& operator=(const FlowScope&) = delete;

    private:
        TFormMain& window_;
    };
    // Connects a menu item to a handler that runs as a flow.
    void onFlowItem(QAction* item, std::function<void()> handler);

    void FormShow();
    void FormClose();
    void setPanelColor(const QColor& color);
    void hideTopLevelMenu();
    bool takeTwOption();
    void setProgramDirectory();
    void setCaption();

    void NrdcnfClick();
    // "Створення нового файлу конфігурації" (tag 0) and "Перегляд/ Коригування файлу
    // конфігурації" (tag 1), told apart by the item's tag.
    void NPrepCnfClick(const QAction* item);
    void NWr_ConfigClick();
    // The network group, port 1 and port 2 of record to the device, each group only after the
    // one before it was written; the notice when all three were.
    void WriteConfigToDevice(const DeviceConfig& record);
    void NEth_ParClick();
    void NPor1Click();
    void NPort2Click();
    void editDevicePort(int port);
    // The question whether to save a changed record, and the save; false when the save was
    // asked for and failed.
    bool offerToSave(const DeviceConfig& record, const DeviceConfig& snapshot);
    // "Параметри записані у пристрій".
    void tellWritten();
    // After a write the device acknowledged: unless the operator switched verification off
    // ("Перевіряти запис"), reads it back with readBack and reports what it did not keep.
    void verifyWrite(const std::function<WriteCheck()>& readBack);
    void N11Click();
    void N21Click();
    void N2Click();
    void showTcpState(quint8 code, int port);
    void NconnectClick();
    void NversClick();
    void NExitClick();

    Ui::TFormMain ui;
    QStringList args_;
    QString programFile_; // absolute path of the program file
    std::unique_ptr<LinkContext> link_;
    QTimer* TimerStart = nullptr;
    int flows_ = 0;             // flows running now
    bool closePending_ = false; // a close waits for the flows to end
};
