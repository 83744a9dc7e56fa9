#include "port_list.h"

#include <QDir>
#include <QJsonObject>
#include <QSerialPortInfo>

namespace {

QVariant entry(const QString &fullName, const QString &port)
{
    return QJsonObject{{"fullName", fullName}, {"port", port}}.toVariantMap();
}

} // namespace

QStringList parseExtraPorts(const QString &value, QChar separator)
{
    return value.split(separator, Qt::SkipEmptyParts);
}

QVariantList buildPortList(const QStringList &extraPorts,
                           const QVector<SystemPortInfo> &systemPorts)
{
    QVariantList list;
    list.reserve(extraPorts.size() + systemPorts.size());
    for (const QString &path : extraPorts)
        list.append(entry("(" + path + ")", path));
    for (const SystemPortInfo &info : systemPorts)
        list.append(entry(info.description + "(" + info.name + ")", info.name));
    return list;
}

QVariantList availablePortList()
{
    QVector<SystemPortInfo> systemPorts;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        systemPorts.append({info.description(), info.portName()});
    const QStringList extra =
        parseExtraPorts(qEnvironmentVariable(kExtraPortsVariable), QDir::listSeparator());
    return buildPortList(extra, systemPorts);
}
