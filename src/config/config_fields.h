#pragma once
// The fields of a configuration record that the device itself holds, in one table: for each
// its key (the name qel2_cli prints it under), the operator's label (the caption the forms
// show for it) and its value as text. What qel2_cli prints, what a verification after a write
// reports and what a comparison of two configurations lists all come from this table.
//
// box_vers and Mac_addres are not in it: the device reports them, no write changes them.

#include "config/devconfig.h"

#include <QList>
#include <QString>

#include <functional>
#include <vector>

// The group a field belongs to: the device's own (its name and the port 2 switch), the network
// group, or the group of port 1 or port 2.
enum class FieldGroup { Device, Network, Port1, Port2 };

// Which fields a comparison covers: every field, or one group.
enum class FieldScope { All, Network, Port1, Port2 };

// What a field is, whatever its group (the port fields come twice, once per port).
enum class FieldItem {
    Name,
    Port2Switch,
    IpMode,
    Address,
    Mask,
    Gateway,
    Regim,
    LocalPort,
    RemoteAddress,
    RemotePort,
    Rate,
    StopBits,
    Parity,
    DataBits,
    Timeout,
};

struct ConfigField {
    QString key;   // "port2.rate"
    QString label; // "Порт 2: швидкість передачі"
    FieldGroup group;
    FieldItem item;
    // The value as text: numbers in decimal, addresses dotted, the name decoded, codes with
    // their meaning in parentheses ("1 (TCP client)"). Two values differ when their texts do.
    std::function<QString(const DeviceConfig&)> text;
};

// Every field the device holds, in the order qel2_cli prints them: the device's, the network
// group, port 1, port 2.
const std::vector<ConfigField>& ConfigFields();

// The port a field of a port group belongs to (1 or 2); 0 for the other groups.
int PortOfField(const ConfigField& field);

// A field whose values differ between two records: first and second are its texts in the
// first and the second record.
struct FieldDifference {
    QString key;
    QString label;
    QString first;
    QString second;
};

// Says whether a field is to be compared; an empty filter compares every field of the scope.
using FieldFilter = std::function<bool(const ConfigField&)>;

// The fields of the scope (those the filter lets through) whose values differ between a and
// b, in table order.
QList<FieldDifference> CompareConfigs(const DeviceConfig& a, const DeviceConfig& b,
                                      FieldScope scope, const FieldFilter& compared = {});
