#pragma once

#include <QByteArray>
#include <QString>

// The text of a message frame: UTF-8 up to the first zero byte, with invalid
// sequences replaced.
QString decodeMessage(const QByteArray &payload);
