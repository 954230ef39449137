#include "config/config_fields.h"

#include <QSet>
#include <gtest/gtest.h>

#include <functional>

namespace
{

DeviceConfig sample()
{
    DeviceConfig c;
    MakeEmptyConfig(c);
    SetBoxName(c, QStringLiteral("Котельня"));
    c.net.ip_prz = 0;
    c.net.ip_adr = {192, 168, 1, 100};
    c.net.net_mask = {255, 255, 255, 0};
    c.net.gateway = {192, 168, 1, 1};
    c.ports[0] = {1, 502, {10, 0, 0, 5}, 8080, 115200, {1, 4, 8}, 20};
    c.ports[1] = {3, 503, {10, 0, 0, 6}, 9090, 9600, {2, 0, 7}, 40};
    return c;
}

struct Change {
    const char* key;
    std::function<void(DeviceConfig&)> apply;
    const char* before; // the field's text in sample()
    const char* after;
};

} // namespace

// Each field of the record is read by its own entry and no other: a change of one value is
// found under its key alone, with both texts, and in its group's scope only.
TEST(ConfigFields, EachValueIsFoundUnderItsOwnKey)
{
    const Change changes[] = {
        {"box_name", [](DeviceConfig& c) { SetBoxName(c, QStringLiteral("Стенд")); }, "Котельня",
         "Стенд"},
        {"is_port2", [](DeviceConfig& c) { c.is_port2 = 1; }, "0 (off)", "1 (on)"},
        {"ip_prz", [](DeviceConfig& c) { c.net.ip_prz = 255; }, "0 (manual)", "255 (not chosen)"},
        {"ip_adr", [](DeviceConfig& c) { c.net.ip_adr[3] = 7; }, "192.168.1.100", "192.168.1.7"},
        {"net_mask", [](DeviceConfig& c) { c.net.net_mask[2] = 0; }, "255.255.255.0",
         "255.255.0.0"},
        {"gateway", [](DeviceConfig& c) { c.net.gateway[0] = 10; }, "192.168.1.1", "10.168.1.1"},
        {"port1.regim", [](DeviceConfig& c) { c.ports[0].regim = 0; }, "1 (TCP client)",
         "0 (TCP server)"},
        {"port1.port", [](DeviceConfig& c) { c.ports[0].port = 65535; }, "502", "65535"},
        {"port1.remote_ip_adr", [](DeviceConfig& c) { c.ports[0].remote_ip_adr[0] = 11; },
         "10.0.0.5", "11.0.0.5"},
        {"port1.remote_port", [](DeviceConfig& c) { c.ports[0].remote_port = 1; }, "8080", "1"},
        {"port1.rate", [](DeviceConfig& c) { c.ports[0].rate = 300; }, "115200", "300"},
        {"port1.port_sett[0]", [](DeviceConfig& c) { c.ports[0].port_sett[0] = 3; },
         "1 (one stop bit)", "3 (one and a half stop bits)"},
        {"port1.port_sett[1]", [](DeviceConfig& c) { c.ports[0].port_sett[1] = 1; }, "4 (none)",
         "1 (even)"},
        {"port1.port_sett[2]", [](DeviceConfig& c) { c.ports[0].port_sett[2] = 7; },
         "8 (data bits)", "7 (data bits)"},
        {"port1.timeout", [](DeviceConfig& c) { c.ports[0].timeout = 255; }, "20 (100 ms)",
         "255 (1275 ms)"},
        {"port2.regim", [](DeviceConfig& c) { c.ports[1].regim = 9; }, "3 (UDP client)",
         "9 (unknown)"},
        {"port2.port", [](DeviceConfig& c) { c.ports[1].port = 0; }, "503", "0"},
        {"port2.remote_ip_adr", [](DeviceConfig& c) { c.ports[1].remote_ip_adr[3] = 255; },
         "10.0.0.6", "10.0.0.255"},
        {"port2.remote_port", [](DeviceConfig& c) { c.ports[1].remote_port = 9091; }, "9090",
         "9091"},
        {"port2.rate", [](DeviceConfig& c) { c.ports[1].rate = 12345; }, "9600",
         "12345 (not a supported rate)"},
        {"port2.port_sett[0]", [](DeviceConfig& c) { c.ports[1].port_sett[0] = 0; },
         "2 (two stop bits)", "0 (no stop bit)"},
        {"port2.port_sett[1]", [](DeviceConfig& c) { c.ports[1].port_sett[1] = 200; }, "0 (odd)",
         "200 (unknown)"},
        {"port2.port_sett[2]", [](DeviceConfig& c) { c.ports[1].port_sett[2] = 5; },
         "7 (data bits)", "5 (unknown)"},
        {"port2.timeout", [](DeviceConfig& c) { c.ports[1].timeout = 0; }, "40 (200 ms)",
         "0 (0 ms)"},
    };
    ASSERT_EQ(std::size(changes), ConfigFields().size()) << "one case per field";

    const DeviceConfig a = sample();
    QSet<QString> keys;
    for (const Change& c : changes) {
        SCOPED_TRACE(c.key);
        keys.insert(QString::fromUtf8(c.key));
        DeviceConfig b = a;
        c.apply(b);
        const QList<FieldDifference> all = CompareConfigs(a, b, FieldScope::All);
        ASSERT_EQ(all.size(), 1);
        EXPECT_EQ(all[0].key, QString::fromUtf8(c.key));
        EXPECT_EQ(all[0].first, QString::fromUtf8(c.before));
        EXPECT_EQ(all[0].second, QString::fromUtf8(c.after));
        EXPECT_FALSE(all[0].label.isEmpty());

        const QString key = QString::fromUtf8(c.key);
        const FieldScope own = key.startsWith("port1.")   ? FieldScope::Port1
                               : key.startsWith("port2.") ? FieldScope::Port2
                               : key.startsWith("ip_") || key == "net_mask" || key == "gateway"
                                   ? FieldScope::Network
                                   : FieldScope::All;
        for (FieldScope scope : {FieldScope::Network, FieldScope::Port1, FieldScope::Port2})
            EXPECT_EQ(CompareConfigs(a, b, scope).size(), scope == own ? 1 : 0)
                << "scope " << int(scope);
    }
    EXPECT_EQ(keys.size(), int(std::size(changes))) << "every key once";
    EXPECT_TRUE(CompareConfigs(a, a, FieldScope::All).isEmpty());
}

TEST(ConfigFields, LabelsAreTheFormsCaptionsAndEachNamesOneField)
{
    QSet<QString> labels;
    for (const ConfigField& f : ConfigFields())
        labels.insert(f.label);
    EXPECT_EQ(labels.size(), int(ConfigFields().size()));
    for (const char* label : {"Найменування пристрою", "IP-адреса контролера", "Маска підмережі",
                              "Шлюз за умовчуванням", "Порт 2: швидкість передачі",
                              "Порт 1: віддалена IP адреса", "Порт 2: підключення"})
        EXPECT_TRUE(labels.contains(QString::fromUtf8(label))) << label;
}

// A filter narrows the comparison to the fields it lets through, within the scope.
TEST(ConfigFields, AFilterLeavesFieldsOut)
{
    const DeviceConfig a = sample();
    DeviceConfig b = a;
    b.ports[1].remote_port = 1;
    b.ports[1].rate = 300;
    b.net.gateway = {};
    const auto notRemote = [](const ConfigField& f) { return f.item != FieldItem::RemotePort; };
    const QList<FieldDifference> d = CompareConfigs(a, b, FieldScope::Port2, notRemote);
    ASSERT_EQ(d.size(), 1);
    EXPECT_EQ(d[0].key, "port2.rate");
    EXPECT_EQ(CompareConfigs(a, b, FieldScope::All, notRemote).size(), 2);
}
