#include "line_faults.h"

#include "reply_frame.h"

#include <QRandomGenerator>

namespace sim {
namespace linefault {

const char kDecoyText[] = "CORRUPT FRAME ACCEPTED";

QByteArray badCrcFrame()
{
    QByteArray f = packReplyFrame(kMessageFrame, QByteArray(kDecoyText));
    f[f.size() - 3] = static_cast<char>(f[f.size() - 3] ^ 0x5A);
    return f;
}

QByteArray badTrailerFrame()
{
    QByteArray f = packReplyFrame(kMessageFrame, QByteArray(kDecoyText));
    f[f.size() - 1] = static_cast<char>(0x56);
    return f;
}

QByteArray badTypeFrame(quint8 type)
{
    return packReplyFrame(type, QByteArray(kDecoyText));
}

QByteArray noise(QRandomGenerator &rng, int n)
{
    QByteArray out;
    while (out.size() < n) {
        const auto b = static_cast<quint8>(rng.bounded(256));
        if (b != 0x55)
            out.append(static_cast<char>(b));
    }
    return out;
}

QByteArray garbageBurst(QRandomGenerator &rng, int index)
{
    switch (index % 4) {
    case 0:
        return noise(rng, 4 + static_cast<int>(rng.bounded(17)));
    case 1:
        return badCrcFrame();
    case 2:
        return badTrailerFrame();
    default:
        return badTypeFrame(static_cast<quint8>(5 + rng.bounded(251)));
    }
}

QVector<QByteArray> splitChunks(const QByteArray &bytes, int chunkSize)
{
    QVector<QByteArray> out;
    const int size = qMax(1, chunkSize);
    for (int at = 0; at < bytes.size(); at += size)
        out.append(bytes.mid(at, size));
    return out;
}

} // namespace linefault
} // namespace sim
