#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>

// The entries of the port list that the user interface offers before a
// connection is made: maps with the keys "fullName" and "port".

struct SystemPortInfo {
    QString description;
    QString name;
};

// The environment variable naming extra ports (pseudo-terminals of a
// simulator, for example) that the system's port enumeration never reports.
inline constexpr char kExtraPortsVariable[] = "ORRINDEL_EXTRA_PORTS";

// Splits the variable's value at the list separator; empty entries are ignored.
QStringList parseExtraPorts(const QString &value, QChar separator);

// Extra ports first, as "(path)", then the system's ports in their order, as
// description + "(" + name + ")".
QVariantList buildPortList(const QStringList &extraPorts,
                           const QVector<SystemPortInfo> &systemPorts);

// The list for this machine: the environment variable and the system's ports.
QVariantList availablePortList();
