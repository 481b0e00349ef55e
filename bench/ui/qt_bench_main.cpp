// The entry of the benchmarks that paint with Qt: an offscreen application
// unless a platform is named, the interface's font fallbacks, then the runs.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>

#include "ui/qt/qt_platform.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    q731::PrepareQtEnvironment();
    QApplication app(argc, argv);
    q731::InstallFontFallbacks();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
