#pragma once
// What the fuzz targets share: a scratch program folder of their own (in
// memory where the system offers it, so a file round trip costs little), and a
// way to stop with a message when a property fails.
#include <QByteArray>
#include <QString>

namespace Fuzz {
// Creates the scratch folder once and points VELLUM_HOME, HOME and the XDG
// folders into it. Returns it with a trailing '/'.
const QString& ScratchDir();
// Writes bytes to a file of the scratch folder, replacing it; no flush to disk.
QString WriteScratchFile(const QString& name, const QByteArray& bytes);
// Reports the failed property with the values that broke it and aborts, so
// libFuzzer keeps the input.
[[noreturn]] void Fail(const char* property, const QByteArray& a = {}, const QByteArray& b = {});
} // namespace Fuzz

#define FUZZ_CHECK(cond, ...)                                                                      \
    do {                                                                                           \
        if (!(cond))                                                                               \
            Fuzz::Fail(#cond, ##__VA_ARGS__);                                                      \
    } while (0)
