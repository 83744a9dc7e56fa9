#pragma once

// The import under which QML reaches the native services.
inline constexpr const char *kSingletonUri = "CppSingletonClass";

// Registers Language, Communication, DataProcess, File and QmlPublic (in this
// order) as QML singletons of CppSingletonClass 1.0, and the chart series
// pointer type that QmlPublic takes. Once per process.
void registerSingletons();
