#include "message.h"

QString decodeMessage(const QByteArray &payload)
{
    const int end = payload.indexOf('\0');
    return QString::fromUtf8(payload.constData(), end < 0 ? payload.size() : end);
}
