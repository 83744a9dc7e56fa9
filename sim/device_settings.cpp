#include "device_settings.h"

#include <cmath>

namespace sim {

QByteArray factoryCalibTable(int length)
{
    QByteArray table;
    for (int i = 0; i < length; ++i) {
        const double x = length > 1 ? static_cast<double>(i) / (length - 1) : 0.0;
        table.append(static_cast<char>(std::lround(10 + 240 * std::pow(x, 0.9))));
    }
    return table;
}

} // namespace sim
