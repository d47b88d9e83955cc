// Prints how long the navigation bar takes for a full repaint, a hit test and a folder slide,
// on a 200 x 400 bar with four folders of 20 items each, offscreen.
//
// Usage: rfid_outbar_benchmark

#include "outbar/GfxOutBarCtrl.h"
#include "platform/ImageList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <cstdio>

namespace {

template <typename Work> double MicrosecondsPer(int runs, Work work) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        work(i);
    return double(timer.nsecsElapsed()) / 1000.0 / runs;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QImage strip(240, 48, QImage::Format_RGB32);
    strip.fill(Qt::darkCyan);
    CImageList large(48, 48);
    large.Add(strip, QColor(255, 0, 255));

    CGfxOutBarCtrl bar;
    bar.resize(200, 400);
    bar.SetLargeImageList(&large);
    for (int f = 0; f < 4; ++f) {
        bar.AppendFolder(QStringLiteral("Folder %1").arg(f), quint32(f));
        for (int i = 0; i < 20; ++i)
            bar.GetFolder(f).InsertItem(-1, QStringLiteral("Item number %1").arg(i), i % 5);
    }
    bar.show();
    QApplication::processEvents();

    const double repaint = MicrosecondsPer(200, [&](int) {
        bar.InvalidateAll();
        bar.UpdateWindow();
    });
    int index = -1;
    const double hit = MicrosecondsPer(2000, [&](int i) { bar.HitTest(QPoint(100, 60 + i % 280), &index); });
    bar.SetBarStyle(BarStyleAnimateFolders);
    bar.SetAnimationTicks(10);
    const double slideWithPause = MicrosecondsPer(4, [&](int i) { bar.SelectFolder(i % 2 == 0 ? 3 : 0); });
    const int frames = bar.SlideFrameCount();
    bar.SetAnimationTicks(0);
    const double slideNoPause = MicrosecondsPer(20, [&](int i) { bar.SelectFolder(i % 2 == 0 ? 3 : 0); });

    std::printf("full repaint:               %8.1f us\n", repaint);
    std::printf("hit test:                   %8.1f us\n", hit);
    std::printf("slide 0<->3, 10 ms pause:   %8.1f ms (%d frames)\n", slideWithPause / 1000.0, frames);
    std::printf("slide 0<->3, no pause:      %8.1f ms\n", slideNoPause / 1000.0);
    return 0;
}
