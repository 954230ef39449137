// The all-parameters form on an Ethernet link whose device record and MAC are set by hand:
// what it shows of a record, how its lists and the port 2 check box enable the fields, what
// ReadForm refuses and stores, and the file actions of its menu.

#include "config/cnf_file.h"
#include "config/program.h"
#include "connect/all_param.h"
#include "link/qelbox.h"
#include "support/qt_printers.h"
#include "support/scripted_dialogs.h"
#include "support/scripted_operator.h"
#include "support/temp_program.h"
#include "support/ui/operator_input.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace
{

const QString kRange1 = QStringLiteral("Введіть значення ");
const QString kRange2 = QStringLiteral("відповідно до заданого діапазону");
const QColor kDeviceGrey(211, 211, 211);
const QColor kFileGrey(195, 195, 195);

// A device in manual IP mode with port 1 a TCP client and port 2, switched on, a UDP client.
DeviceConfig deviceRecord()
{
    DeviceConfig r;
    MakeEmptyConfig(r);
    SetBoxName(r, QStringLiteral("Котельня"));
    r.Mac_addres = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    r.is_port2 = 1;
    r.net.ip_prz = 0;
    r.net.ip_adr = {192, 168, 1, 100};
    r.net.net_mask = {255, 255, 255, 0};
    r.net.gateway = {192, 168, 1, 1};
    r.ports[0] = {1, 502, {10, 0, 0, 5}, 8080, 115200, {1, 4, 8}, 20};
    r.ports[1] = {3, 503, {10, 0, 0, 6}, 9090, 9600, {2, 0, 7}, 40};
    return r;
}

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

class AllParamTest : public ::testing::Test
{
public: // the case tables act through the fixture
    AllParamTest()
    {
        link.deviceRecord = deviceRecord();
        link.deviceMac = link.deviceRecord.Mac_addres;
    }

    void open()
    {
        form = std::make_unique<TFormAll_Param>(link);
        form->setFileDialogs(dialogs);
        form->setClock([this] { return now; });
        form->show();
    }
    template <class T> T* child(const QString& name) const
    {
        T* w = form->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QLineEdit* edit(const QString& name) const { return child<QLineEdit>(name); }
    QComboBox* combo(const QString& name) const { return child<QComboBox>(name); }
    QCheckBox* port2Box() const { return child<QCheckBox>("CheckBox1"); }
    void choose(const QString& list, int index) const
    {
        QComboBox* box = combo(list);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    void set(const QString& field, const QString& text) const { edit(field)->setText(text); }
    QString status() const { return child<QLabel>("Panel2")->text(); }
    QColor background() const
    {
        return child<QWidget>("Panel1")->palette().color(QPalette::Window);
    }
    // The texts of a row of four octet fields.
    QStringList octets(const char* row) const
    {
        QStringList out;
        for (int k = 1; k <= 4; ++k)
            out << edit(QStringLiteral("%1%2").arg(row).arg(k))->text();
        return out;
    }
    // The remote port and the remote address of a port, as shown.
    QStringList remote(int port) const
    {
        return QStringList{edit(port == 1 ? "Edit2" : "Edit10")->text()} +
               octets(port == 1 ? "ip" : "ep");
    }
    // Whether the operator can edit a field, judged as the operator sees it: enabled with its
    // ancestors, in the colour of editable fields or the panel's.
    bool editable(QWidget* field) const
    {
        const QColor base = field->palette().color(QPalette::Base);
        const QColor panel = field->parentWidget()->palette().color(QPalette::Window);
        EXPECT_NE(base == panel, field->isEnabled()) << field->objectName().toStdString();
        return field->isEnabled();
    }
    // The five remote fields of a port are editable or not together.
    bool remoteEditable(int port) const
    {
        const bool first = editable(edit(port == 1 ? "Edit2" : "Edit10"));
        for (int k = 1; k <= 4; ++k) {
            const QString name = QStringLiteral("%1%2").arg(port == 1 ? "ip" : "ep").arg(k);
            EXPECT_EQ(editable(edit(name)), first) << name.toStdString();
        }
        return first;
    }
    // What a port group shows besides its remote fields: mode, local port, rate, stop bits,
    // parity, data bits, time-out.
    QStringList shownPort(int port) const
    {
        const char* one[] = {"ComboBox1", "Edit1",     "ComboBox2", "ComboBox3",
                             "ComboBox4", "ComboBox5", "Edit3"};
        const char* two[] = {"ComboBox7",  "Edit9",      "ComboBox8", "ComboBox9",
                             "ComboBox10", "ComboBox11", "Edit15"};
        QStringList out;
        for (const char* name : port == 1 ? one : two) {
            if (auto* box = form->findChild<QComboBox*>(name))
                out << box->currentText();
            else
                out << edit(name)->text();
        }
        return out;
    }
    QAction* menuItem(const QString& name) const { return child<QAction>(name); }
    void clickMenu(const QString& name) const
    {
        ClickMenuBarItem(child<QMenuBar>("MainMenu1"), menuItem(name));
    }

    TempProgramDir program;
    ScriptedOperator op;
    ScriptedDialogs dialogs;
    QDateTime now{QDate(2024, 3, 5), QTime(14, 7)};
    LinkContext link;
    std::unique_ptr<TFormAll_Param> form;
};

TEST_F(AllParamTest, ControlsAndTheirTexts)
{
    open();
    EXPECT_EQ(form->size(), QSize(1180, 496));
    EXPECT_EQ(child<QGroupBox>("GroupBox1")->title(), " Порт 1 ");
    EXPECT_EQ(child<QGroupBox>("GroupBox2")->title(), " Порт 2   Підключення        ");
    EXPECT_EQ(child<QGroupBox>("GroupBox3")->title(), "  Параметри зв'язку Ethernet ");
    EXPECT_EQ(child<QPushButton>("BitBtn1")->text(), "Записати у пристрій");
    const QList<QAction*> bar = child<QMenuBar>("MainMenu1")->actions();
    ASSERT_EQ(bar.size(), 4);
    const char* names[] = {"N3", "N2", "N4", "N6"};
    const char* captions[] = {"Прочитати параметри з пристрою", "Зберегти параметри у файлі",
                              "Прочитати параметри з файлу", "Вихід"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(bar[i]->objectName(), names[i]);
        EXPECT_EQ(bar[i]->text(), captions[i]);
    }

    for (const char* list : {"ComboBox1", "ComboBox7"})
        EXPECT_EQ(items(combo(list)),
                  QStringList({"TCP server", "TCP client", "UDP server", "UDP client"}));
    for (const char* list : {"ComboBox2", "ComboBox8"}) {
        const QStringList rates = items(combo(list));
        ASSERT_EQ(rates.size(), 22);
        EXPECT_EQ(rates.first(), "300");
        EXPECT_EQ(rates.last(), "230400");
    }
    for (const char* list : {"ComboBox3", "ComboBox9"})
        EXPECT_EQ(items(combo(list)), QStringList({"Без stop біта", "1      stop біт",
                                                   "2      stop біта", "1,5   stop біта"}));
    for (const char* list : {"ComboBox4", "ComboBox10"})
        EXPECT_EQ(items(combo(list)), QStringList({"Odd", "Even", "Mark", "Space", "None"}));
    for (const char* list : {"ComboBox5", "ComboBox11"})
        EXPECT_EQ(items(combo(list)), QStringList({"7", "8"}));
    EXPECT_EQ(items(combo("ComboBox6")), QStringList({"Вручну", "Автоматично"}));
    EXPECT_EQ(edit("Edit8")->maxLength(), 20);
    for (const char* field : {"Edit3", "Edit15", "ip1", "ep4", "in2", "im3", "is4"})
        EXPECT_EQ(edit(field)->maxLength(), 3) << field;

    // The port 2 check box lies on its group's caption line, but outside the group, which
    // greys everything in it.
    QCheckBox* box = port2Box();
    QGroupBox* group = child<QGroupBox>("GroupBox2");
    EXPECT_NE(box->parentWidget(), group);
    EXPECT_TRUE(group->geometry().contains(box->geometry().center()));
    EXPECT_LT(box->geometry().top(), group->geometry().top() + group->fontMetrics().height());
    EXPECT_GT(box->geometry().left(),
              group->geometry().left() + group->fontMetrics().horizontalAdvance("Підключення"));
}

TEST_F(AllParamTest, ShowsTheDeviceRecordAndNamesTheDevice)
{
    open();
    EXPECT_TRUE(form->FromDevice);
    EXPECT_TRUE(form->Record == link.deviceRecord);
    EXPECT_EQ(status(), " IP-адр. 192.168.1.100    Пристрій \"Котельня\".   MAC_адр. "
                        "00:1A:2B:3C:4D:5E ");
    EXPECT_EQ(background(), kDeviceGrey);

    EXPECT_EQ(octets("in"), QStringList({"192", "168", "1", "100"}));
    EXPECT_EQ(octets("im"), QStringList({"255", "255", "255", "0"}));
    EXPECT_EQ(octets("is"), QStringList({"192", "168", "1", "1"}));
    EXPECT_EQ(combo("ComboBox6")->currentText(), "Вручну");
    EXPECT_EQ(child<QLabel>("Label18")->text(), "Режим");
    EXPECT_EQ(edit("Edit8")->text(), "Котельня");

    EXPECT_EQ(shownPort(1),
              QStringList({"TCP client", "502", "115200", "1      stop біт", "None", "8", "20"}));
    EXPECT_EQ(remote(1), QStringList({"8080", "10", "0", "0", "5"}));
    EXPECT_TRUE(port2Box()->isChecked());
    EXPECT_EQ(shownPort(2),
              QStringList({"UDP client", "503", "9600", "2      stop біта", "Odd", "7", "40"}));
    EXPECT_EQ(remote(2), QStringList({"9090", "10", "0", "0", "6"}));
}

// What ShowRecord makes of records that need more than copying a value into a field.
TEST_F(AllParamTest, ShowRecordEdgeCases)
{
    struct Case {
        const char* name;
        std::function<void(DeviceConfig&)> record;
        std::function<void(AllParamTest&)> check;
    };
    const Case cases[] = {
        {"ServerModeEmptiesAndGreysTheRemoteFields", [](DeviceConfig& r) { r.ports[0].regim = 0; },
         [](AllParamTest& t) {
             EXPECT_EQ(t.remote(1), QStringList({"", "", "", "", ""}));
             EXPECT_FALSE(t.remoteEditable(1));
             EXPECT_TRUE(t.remoteEditable(2)) << "port 2 is a client still";
         }},
        {"ClientModeOffersTheRemoteFields", [](DeviceConfig&) {},
         [](AllParamTest& t) {
             EXPECT_TRUE(t.remoteEditable(1));
             EXPECT_TRUE(t.remoteEditable(2));
         }},
        {"Port2OffIsGreyedWithItsValuesShown", [](DeviceConfig& r) { r.is_port2 = 0; },
         [](AllParamTest& t) {
             EXPECT_FALSE(t.port2Box()->isChecked());
             EXPECT_TRUE(t.port2Box()->isEnabled()) << "port 2 can be switched on again";
             EXPECT_FALSE(t.child<QGroupBox>("GroupBox2")->isEnabled());
             for (const char* field : {"ComboBox7", "Edit9", "Edit10", "ComboBox8", "ComboBox9",
                                       "ComboBox10", "ComboBox11", "Edit15", "ep1", "ep4"})
                 EXPECT_FALSE(t.editable(t.child<QWidget>(field))) << field;
             EXPECT_EQ(t.edit("Edit9")->text(), "503");
             EXPECT_EQ(t.remote(2), QStringList({"9090", "10", "0", "0", "6"}));
             EXPECT_TRUE(t.child<QGroupBox>("GroupBox1")->isEnabled());
         }},
        {"AutomaticIpModeGreysWithoutEmptying", [](DeviceConfig& r) { r.net.ip_prz = 1; },
         [](AllParamTest& t) {
             EXPECT_EQ(t.combo("ComboBox6")->currentText(), "Автоматично");
             for (const char* row : {"in", "im", "is"}) {
                 for (int k = 1; k <= 4; ++k)
                     EXPECT_FALSE(t.editable(t.edit(QStringLiteral("%1%2").arg(row).arg(k))));
             }
             EXPECT_EQ(t.octets("in"), QStringList({"192", "168", "1", "100"}));
             EXPECT_TRUE(t.editable(t.edit("Edit8")));
         }},
        {"RateNotInTheTableShowsNoChoice", [](DeviceConfig& r) { r.ports[0].rate = 250000; },
         [](AllParamTest& t) { EXPECT_EQ(t.combo("ComboBox2")->currentIndex(), -1); }},
        {"ValuesOutsideTheListsShowNoChoice",
         [](DeviceConfig& r) {
             r.ports[1].regim = 7;
             r.ports[1].port_sett = {4, 5, 6};
         },
         [](AllParamTest& t) {
             for (const char* list : {"ComboBox7", "ComboBox9", "ComboBox10", "ComboBox11"})
                 EXPECT_EQ(t.combo(list)->currentIndex(), -1) << list;
         }},
        // No IP mode: the prompt keeps its marked look until the operator chooses one.
        {"NoIpModeKeepsThePrompt", [](DeviceConfig& r) { r.net.ip_prz = 255; },
         [](AllParamTest& t) {
             auto* prompt = t.child<QLabel>("Label18");
             EXPECT_EQ(t.combo("ComboBox6")->currentIndex(), -1);
             EXPECT_EQ(prompt->text(), "Виберіть режим");
             EXPECT_TRUE(prompt->font().bold());
             EXPECT_EQ(prompt->palette().color(QPalette::WindowText), QColor(128, 0, 0));
             t.choose("ComboBox6", 0);
             EXPECT_EQ(prompt->text(), "Режим");
             EXPECT_FALSE(prompt->font().bold());
             EXPECT_EQ(t.form->Record.net.ip_prz, 0);
         }},
        {"NameOfTwentyCharacters",
         [](DeviceConfig& r) { SetBoxName(r, QStringLiteral("Насосна станція № 12")); },
         [](AllParamTest& t) {
             EXPECT_EQ(t.edit("Edit8")->text(), "Насосна станція № 12");
             EXPECT_TRUE(t.status().contains("Пристрій \"Насосна станція № 12\"."));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.deviceRecord = deviceRecord();
        c.record(link.deviceRecord);
        open();
        c.check(*this);
        EXPECT_TRUE(op.asked.isEmpty());
    }
}

// The mode list of a port shows and hides its remote fields, and only that port's: the lists
// tell the ports apart by their tags. A server mode keeps the record's remote values.
TEST_F(AllParamTest, TheModeListsShowTheirOwnPortsRemoteFields)
{
    link.deviceRecord.ports[0].regim = 0;
    link.deviceRecord.ports[1].regim = 2;
    open();
    choose("ComboBox1", 1); // TCP client
    EXPECT_EQ(remote(1), QStringList({"8080", "10", "0", "0", "5"}));
    EXPECT_TRUE(remoteEditable(1));
    EXPECT_FALSE(remoteEditable(2));
    EXPECT_EQ(remote(2), QStringList({"", "", "", "", ""}));

    choose("ComboBox7", 3); // UDP client
    EXPECT_EQ(remote(2), QStringList({"9090", "10", "0", "0", "6"}));
    EXPECT_TRUE(remoteEditable(2));

    choose("ComboBox1", 2); // UDP server
    EXPECT_EQ(remote(1), QStringList({"", "", "", "", ""}));
    EXPECT_FALSE(remoteEditable(1));
    EXPECT_TRUE(remoteEditable(2));

    ASSERT_TRUE(form->ReadForm());
    EXPECT_TRUE(op.asked.isEmpty());
    PortConfig want1 = deviceRecord().ports[0];
    want1.regim = 2;
    PortConfig want2 = deviceRecord().ports[1];
    want2.regim = 3;
    EXPECT_TRUE(form->Record.ports[0] == want1) << "the remote values stay";
    EXPECT_TRUE(form->Record.ports[1] == want2);
}

// With CheckBox1 clear the port 2 group is greyed and ReadForm neither checks nor takes it;
// ticked again, the group is editable and checked.
TEST_F(AllParamTest, ThePort2CheckBoxDecidesWhetherPort2IsTaken)
{
    open();
    port2Box()->click();
    EXPECT_FALSE(child<QGroupBox>("GroupBox2")->isEnabled());
    EXPECT_FALSE(editable(edit("Edit9")));
    EXPECT_EQ(form->Record.is_port2, 1) << "the box alone does not change the record";
    set("Edit9", "");
    set("Edit15", "999");

    ASSERT_TRUE(form->ReadForm());
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_EQ(form->Record.is_port2, 0);
    EXPECT_TRUE(form->Record.ports[1] == deviceRecord().ports[1]);

    port2Box()->click();
    EXPECT_TRUE(child<QGroupBox>("GroupBox2")->isEnabled());
    for (const char* field : {"ComboBox7", "Edit9", "Edit10", "ComboBox8", "ComboBox9",
                              "ComboBox10", "ComboBox11", "Edit15", "ep1", "ep4"})
        EXPECT_TRUE(editable(child<QWidget>(field))) << field;
    EXPECT_FALSE(form->ReadForm());
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line1, "Уведені не всі параметри порту 2");
    EXPECT_EQ(form->focusWidget(), edit("Edit9"));
}

// Every refusal of ReadForm: its message, the field focused, and how far Record was filled.
// The operator first changes one value of each group (the device address, the name, port 1's
// local port, port 2 switched on, port 2's local port); then the case spoils one field.
TEST_F(AllParamTest, ReadFormRefusals)
{
    enum Filled { Nothing, Net, Name, Port1, IsPort2 };
    struct Case {
        const char* name;
        std::function<void(AllParamTest&)> spoil;
        int kind;
        QString line1, line2;
        const char* focus;
        Filled filled;
    };
    const auto text = [](const char* field, const char* value) {
        return [=](AllParamTest& t) { t.set(field, QString::fromUtf8(value)); };
    };
    const QString notAllEth = QStringLiteral("Уведені не всі параметри зв'язку Ethernet ");
    const QString notAll1 = QStringLiteral("Уведені не всі параметри порту 1");
    const QString notAll2 = QStringLiteral("Уведені не всі параметри порту 2");
    const Case cases[] = {
        {"NoIpMode", [](AllParamTest& t) { t.combo("ComboBox6")->setCurrentIndex(-1); },
         MsgInputError, "Не задано режим зміни параметрів IP", "", "ComboBox6", Nothing},
        {"EmptyAddressOctet", text("in3", ""), MsgInputError, notAllEth, "", "in3", Nothing},
        {"EmptyGatewayOctet", text("is1", ""), MsgInputError, notAllEth, "", "is1", Nothing},
        {"MaskOctetAbove255", text("im2", "300"), MsgInputError, kRange1, kRange2, "im2", Nothing},
        {"OctetNotANumber", text("is4", "1'"), MsgError, "'1'' не є цілим числом", "", "is4",
         Nothing},
        {"ControlCharacterInTheName", text("Edit8", "a\tb"), MsgInputError,
         "Символ з кодом 0x09 у найменуванні неприпустимий", "(керуючі символи не допускаються)",
         "Edit8", Net},
        {"NameOutsideTheCodePage", text("Edit8", "☃"), MsgInputError,
         "Символ \"☃\" у найменуванні неприпустимий", "(немає в кодуванні Windows-1251)", "Edit8",
         Net},
        {"Port1EmptyLocalPort", text("Edit1", ""), MsgInputError, notAll1, "", "Edit1", Name},
        {"Port1NoRate", [](AllParamTest& t) { t.combo("ComboBox2")->setCurrentIndex(-1); },
         MsgInputError, notAll1, "", "ComboBox2", Name},
        {"Port1EmptyTimeout", text("Edit3", ""), MsgInputError, notAll1, "", "Edit3", Name},
        {"Port1ClientWithAnEmptyRemoteOctet", text("ip4", ""), MsgInputError, notAll1, "", "ip4",
         Name},
        {"Port1LocalPort70000", text("Edit1", "70000"), MsgInputError, kRange1, kRange2, "Edit1",
         Name},
        {"Port1RemoteOctet300", text("ip1", "300"), MsgInputError, kRange1, kRange2, "ip1", Name},
        {"Port1Timeout256", text("Edit3", "256"), MsgInputError,
         "Таймаут порту 1 поза припустимого діапазону", "", "Edit3", Name},
        {"Port2EmptyTimeout", text("Edit15", ""), MsgInputError, notAll2, "", "Edit15", IsPort2},
        {"Port2NoDataBits", [](AllParamTest& t) { t.combo("ComboBox11")->setCurrentIndex(-1); },
         MsgInputError, notAll2, "", "ComboBox11", IsPort2},
        {"Port2ClientWithAnEmptyRemotePort", text("Edit10", ""), MsgInputError, notAll2, "",
         "Edit10", IsPort2},
        {"Port2RemotePort65536", text("Edit10", "65536"), MsgInputError, kRange1, kRange2, "Edit10",
         IsPort2},
        {"Port2LocalPortNotANumber", text("Edit9", "50%"), MsgError, "'50%' не є цілим числом", "",
         "Edit9", IsPort2},
        {"Port2Timeout256", text("Edit15", "256"), MsgInputError,
         "Таймаут порту 2 поза припустимого діапазону", "", "Edit15", IsPort2},
    };
    DeviceConfig start = deviceRecord();
    start.is_port2 = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.deviceRecord = start;
        op.asked.clear();
        open();
        set("in4", "101");
        set("Edit8", "Новий");
        set("Edit1", "4001");
        port2Box()->click();
        set("Edit9", "5002");
        c.spoil(*this);

        EXPECT_FALSE(form->ReadForm());
        ASSERT_EQ(op.asked.size(), 1);
        EXPECT_EQ(op.asked[0].kind, c.kind);
        EXPECT_EQ(op.asked[0].line1, c.line1);
        EXPECT_EQ(op.asked[0].line2, c.line2);
        EXPECT_EQ(form->focusWidget(), child<QWidget>(c.focus));

        DeviceConfig want = start;
        if (c.filled >= Net)
            want.net.ip_adr[3] = 101;
        if (c.filled >= Name)
            SetBoxName(want, QStringLiteral("Новий"));
        if (c.filled >= Port1)
            want.ports[0].port = 4001;
        if (c.filled >= IsPort2)
            want.is_port2 = 1;
        EXPECT_TRUE(form->Record == want);
    }
}

// What ReadForm stores when it accepts, starting from the device's record each time.
TEST_F(AllParamTest, ReadFormStores)
{
    struct Case {
        const char* name;
        std::function<void(AllParamTest&)> input;
        std::function<void(DeviceConfig&)> expect; // applied to the device record
    };
    const Case cases[] = {
        {"EveryGroupAsTyped",
         [](AllParamTest& t) {
             for (int k = 1; k <= 4; ++k) {
                 t.set(QStringLiteral("in%1").arg(k), QString::number(10 + k));
                 t.set(QStringLiteral("im%1").arg(k), "255");
                 t.set(QStringLiteral("is%1").arg(k), QString::number(20 + k));
                 t.set(QStringLiteral("ep%1").arg(k), QString::number(30 + k));
             }
             t.set("Edit8", "Щит 2");
             t.choose("ComboBox1", 3);
             t.set("Edit1", "65535");
             t.set("Edit2", "0");
             t.set("ip2", "255");
             t.combo("ComboBox2")->setCurrentIndex(0);
             t.combo("ComboBox3")->setCurrentIndex(3);
             t.combo("ComboBox4")->setCurrentIndex(2);
             t.combo("ComboBox5")->setCurrentIndex(0);
             t.set("Edit3", "255");
             t.set("Edit9", "0");
             t.set("Edit10", "1");
             t.combo("ComboBox8")->setCurrentIndex(21);
             t.combo("ComboBox11")->setCurrentIndex(1);
             t.set("Edit15", "0");
         },
         [](DeviceConfig& r) {
             r.net.ip_adr = {11, 12, 13, 14};
             r.net.net_mask = {255, 255, 255, 255};
             r.net.gateway = {21, 22, 23, 24};
             SetBoxName(r, QStringLiteral("Щит 2"));
             r.ports[0] = {3, 65535, {10, 255, 0, 5}, 0, 300, {3, 2, 7}, 255};
             r.ports[1] = {3, 0, {31, 32, 33, 34}, 1, 230400, {2, 0, 8}, 0};
         }},
        {"AutomaticIpModeKeepsTheAddresses",
         [](AllParamTest& t) {
             t.choose("ComboBox6", 1);
             t.set("in2", "");
             t.set("is1", "999");
         },
         [](DeviceConfig& r) { r.net.ip_prz = 1; }},
        {"EmptyNameIsAllZero", [](AllParamTest& t) { t.set("Edit8", ""); },
         [](DeviceConfig& r) { SetBoxNameBytes(r, QByteArray()); }},
        {"ServerModeKeepsTheRemoteValues", [](AllParamTest& t) { t.choose("ComboBox7", 0); },
         [](DeviceConfig& r) { r.ports[1].regim = 0; }},
        // A rate from a file that is not in the table is refused until one is chosen.
        {"RateChosenAfterAForeignOne",
         [](AllParamTest& t) {
             t.form->Record.ports[0].rate = 250000;
             t.form->FromDevice = false;
             t.form->ShowRecord();
             EXPECT_FALSE(t.form->ReadForm());
             t.op.asked.clear();
             t.combo("ComboBox2")->setCurrentIndex(11);
         },
         [](DeviceConfig& r) { r.ports[0].rate = 9600; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        link.deviceRecord = deviceRecord();
        open();
        c.input(*this);
        EXPECT_TRUE(form->ReadForm());
        EXPECT_TRUE(op.asked.isEmpty());
        DeviceConfig want = deviceRecord();
        c.expect(want);
        EXPECT_TRUE(form->Record == want);
    }
}

// A file of another version is refused with a notice; the form keeps what it showed, the
// operator's edits included.
TEST_F(AllParamTest, LoadingAFileOfAnotherVersionLeavesTheForm)
{
    DeviceConfig other = deviceRecord();
    other.box_vers = 40;
    other.ports[0].port = 1234;
    const QString path = ConfigDirPath() + "/old.cnf";
    ASSERT_TRUE(WriteCnfFile(other, path));
    open();
    set("Edit1", "777");
    const DeviceConfig before = form->Record;
    const QString statusBefore = status();

    dialogs.answer({path});
    clickMenu("N4");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].title, "Вибір файлу з параметрами конфігурації");
    EXPECT_EQ(dialogs.requests[0].dir, ConfigDirPath());
    EXPECT_TRUE(dialogs.requests[0].fileName.isEmpty());
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgNotice);
    EXPECT_EQ(op.asked[0].line1, "Файл old.cnf не є файлом конфігурації");
    EXPECT_EQ(op.asked[0].line2, "пристрою QEL_2 версією 39");

    EXPECT_TRUE(form->FromDevice);
    EXPECT_TRUE(form->Record == before);
    EXPECT_EQ(edit("Edit1")->text(), "777");
    EXPECT_EQ(status(), statusBefore);
    EXPECT_EQ(background(), kDeviceGrey);
}

// A good file becomes the form's record: no device line, the darker background, and the
// greyed fields in the darker colour too.
TEST_F(AllParamTest, LoadingAFileShowsItsRecord)
{
    DeviceConfig file = deviceRecord();
    SetBoxName(file, QStringLiteral("З файлу"));
    file.net.ip_adr = {10, 1, 2, 3};
    file.ports[0].regim = 2;
    file.ports[0].port = 1234;
    file.is_port2 = 0;
    const QString path = ConfigDirPath() + "/stand.cnf";
    ASSERT_TRUE(WriteCnfFile(file, path));
    DeviceConfig read;
    ASSERT_TRUE(ReadCnfFile(path, read));
    open();

    dialogs.answer({path});
    clickMenu("N4");
    EXPECT_TRUE(op.asked.isEmpty());
    EXPECT_FALSE(form->FromDevice);
    EXPECT_TRUE(form->Record == read);
    EXPECT_EQ(status(), "");
    EXPECT_EQ(background(), kFileGrey);
    EXPECT_EQ(edit("Edit8")->text(), "З файлу");
    EXPECT_EQ(octets("in"), QStringList({"10", "1", "2", "3"}));
    EXPECT_EQ(edit("Edit1")->text(), "1234");
    EXPECT_FALSE(port2Box()->isChecked());
    EXPECT_EQ(edit("Edit2")->palette().color(QPalette::Base), kFileGrey);
    EXPECT_EQ(edit("Edit9")->palette().color(QPalette::Base), kFileGrey);
}

// The proposed name carries the device name and the hour, so a second save within the same
// hour proposes the same file and asks before replacing it.
TEST_F(AllParamTest, SavingTwiceWithinAnHourAsksTheSecondTime)
{
    open();
    set("Edit8", "Stand 1");
    const QString name = QStringLiteral("Stand 1_240305_h14.cnf");
    const QString path = ConfigDirPath() + '/' + name;

    dialogs.answer({ScriptedDialogs::offered()});
    clickMenu("N2");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].fileName, path);
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].kind, MsgNotice);
    EXPECT_EQ(op.asked[0].line1, "Параметри конфігурації");
    EXPECT_EQ(op.asked[0].line2, "збережені в файлі " + name);
    DeviceConfig saved;
    ASSERT_TRUE(ReadCnfFile(path, saved));
    EXPECT_TRUE(saved == form->Record);
    EXPECT_EQ(BoxName(saved), "Stand 1");

    now = QDateTime(QDate(2024, 3, 5), QTime(14, 59));
    set("Edit1", "4001");
    op.asked.clear();
    op.answer({true});
    dialogs.answer({ScriptedDialogs::offered()});
    clickMenu("N2");
    ASSERT_EQ(dialogs.requests.size(), 2);
    EXPECT_EQ(dialogs.requests[1].fileName, path);
    ASSERT_EQ(op.asked.size(), 2);
    EXPECT_EQ(op.asked[0].kind, MsgQuestion);
    EXPECT_EQ(op.asked[0].line1, "Файл " + name + " вже є.");
    EXPECT_EQ(op.asked[0].line2, "Ви бажаєте замінити існуючий файл?");
    EXPECT_EQ(op.asked[1].line2, "збережені в файлі " + name);
    ASSERT_TRUE(ReadCnfFile(path, saved));
    EXPECT_EQ(int(saved.ports[0].port), 4001); // a copy: the record is packed
    EXPECT_TRUE(form->FromDevice) << "saving does not change where the record came from";
}

TEST_F(AllParamTest, TheProposedNameStaysInTheConfigDirectory)
{
    open();
    set("Edit8", "../Щит:2*");
    dialogs.answer({QString()}); // cancelled: nothing saved, nothing said
    clickMenu("N2");
    ASSERT_EQ(dialogs.requests.size(), 1);
    EXPECT_EQ(dialogs.requests[0].fileName, ConfigDirPath() + "/.._Щит_2__240305_h14.cnf");
    EXPECT_TRUE(op.asked.isEmpty());
}

TEST_F(AllParamTest, ARefusedFormIsNotSaved)
{
    open();
    set("Edit3", "");
    clickMenu("N2");
    EXPECT_TRUE(dialogs.requests.isEmpty());
    ASSERT_EQ(op.asked.size(), 1);
    EXPECT_EQ(op.asked[0].line1, "Уведені не всі параметри порту 1");
}

// "Вихід" and the close box end the form (and with it the work over the link); Esc, which
// would end a dialog, does not.
TEST_F(AllParamTest, LeavingTheForm)
{
    struct Case {
        const char* name;
        std::function<void(AllParamTest&)> act;
        bool closes;
    };
    const Case cases[] = {
        {"Exit", [](AllParamTest& t) { t.clickMenu("N6"); }, true},
        {"CloseBox", [](AllParamTest& t) { PressCloseBox(t.form.get()); }, true},
        {"EscapeInAField",
         [](AllParamTest& t) {
             t.edit("Edit1")->setFocus();
             PressKey(t.form.get(), Qt::Key_Escape);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        open();
        ASSERT_TRUE(form->isVisible());
        c.act(*this);
        EXPECT_EQ(form->isVisible(), !c.closes);
        if (c.closes) {
            EXPECT_EQ(form->result(), QDialog::Rejected);
        }
        EXPECT_TRUE(op.asked.isEmpty());
    }
}

} // namespace
