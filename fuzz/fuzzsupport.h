#pragma once
// Shared by the fuzz targets: the offscreen GUI the fonts need, and a way to
// stop on a broken invariant that libFuzzer records as a crash with its input.

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Creates the one offscreen QGuiApplication the fonts and painters need; call
// once from LLVMFuzzerInitialize. Qt gets arguments of its own, so it neither
// reads nor removes libFuzzer's flags.
inline void startOffscreenGui()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

// Aborts with the broken invariant's text when ok is false; the abort is what
// makes libFuzzer save the input as a crash.
inline void require(bool ok, const char *what)
{
    if (ok)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

} // namespace fuzz
