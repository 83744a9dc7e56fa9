#pragma once

#include <QString>

// The program's build stamp "yyMMdd-hh:mm:ss" from the compiler's __DATE__
// ("Apr  3 2024") and __TIME__ ("16:49:39") texts; empty when they do not parse.
QString buildStampFrom(const QString &compilerDate, const QString &compilerTime);
