// The minimal Qt program a Mass Production card is measured against, on its own: a 24-point field's
// text, one log line and one repaint a card, nothing else. Prints the median, 90th and 99th percentile
// time a card. Runs on the platform Qt picks (DISPLAY, QT_QPA_PLATFORM; offscreen without a display).
//
//   MinimalCardBench [cards] [cold cards]

#include "tools/bench/CardTimes.h"
#include "tools/bench/MinimalCardWindow.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int cards = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    const int cold = argc > 2 ? std::max(0, std::atoi(argv[2])) : 100;
    // About the size of the page's card number field and of the main window's log.
    CMinimalCardWindow window(QSize(173, 39), QSize(600, 300));
    window.show();
    QCoreApplication::processEvents();
    std::vector<qint64> ns;
    for (int card = 0; card < cards; ++card)
        ns.push_back(window.ShowCard());
    const TimeSpread spread = SpreadOf(ns, std::size_t(cold));
    std::printf("minimal card display on %s, %d cards, first %d left out: median %.4f ms, p90 %.4f ms, "
                "p99 %.4f ms a card\n",
                qPrintable(QGuiApplication::platformName()), cards, cold, spread.medianMs, spread.p90Ms,
                spread.p99Ms);
    return 0;
}
