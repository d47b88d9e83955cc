// The production journal at size: fills a journal with a million records (or the count given), then
// prints how long the journal window takes to open on it, to show its totals and first page, to scroll
// a hundred pages down and to filter by identifier, and what one durable record costs a card.
//
//   JournalBench [records]

#include "journal/JournalRecorder.h"
#include "language/MultiLanguage.h"
#include "shell/JournalDlg.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimeZone>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

bool Fill(const QString& path, int records) {
    JournalStatus status;
    auto journal = CJournal::Open(path, &status);
    if (!journal || !journal->Database().transaction())
        return false;
    QString error;
    for (int i = 0; i < records; ++i) {
        JournalRecord record;
        record.time = QDateTime::fromMSecsSinceEpoch(1780000000000 + qint64(i) * 1500, QTimeZone::utc());
        record.station = QStringLiteral("line-1");
        record.user = QStringLiteral("operator");
        record.source = JournalSource::MassProduction;
        record.operation = i % 2 ? JournalOperation::Verify : JournalOperation::Write;
        record.result = i % 2 ? (i % 97 ? JournalResult::VerifyOk : JournalResult::VerifyFailed) : JournalResult::Ok;
        record.verifyRequested = true;
        record.identifier = 0x1200000000ull + std::uint64_t(i / 2);
        if (!journal->Add(record, &error))
            return false;
    }
    return journal->Database().commit();
}

double Ms(QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

// The median cost a card: the duplicate look-up and the write record, each committed before it returns.
double MedianRecordMs(const QString& path, int cards) {
    JournalSettings settings;
    settings.connection = path;
    settings.station = QStringLiteral("bench");
    CJournalRecorder recorder(settings);
    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < cards; ++i) {
        clock.start();
        bool answered = false;
        recorder.FindGoodCard(0x1300000000ull + std::uint64_t(i), &answered);
        JournalRecord record;
        record.source = JournalSource::MassProduction;
        record.operation = JournalOperation::Write;
        record.identifier = 0x1300000000ull + std::uint64_t(i);
        recorder.Record(record);
        ms.push_back(Ms(clock));
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
    QTemporaryDir folder;
    CMultiLanguage::SetDefaultAppFolder(folder.path());
    const QString path = folder.filePath(QStringLiteral("journal.sqlite"));

    QElapsedTimer clock;
    clock.start();
    if (!Fill(path, records)) {
        std::fprintf(stderr, "could not fill the journal\n");
        return 1;
    }
    std::printf("filled %d records in %.0f ms\n", records, Ms(clock));

    CMultiLanguage language;
    clock.start();
    CJournalDlg dlg(path, language);
    dlg.show();
    QCoreApplication::processEvents();
    std::printf("window open with totals and first page: %.1f ms (%d rows fetched)\n", Ms(clock),
                dlg.Model().rowCount());

    clock.start();
    for (int page = 0; page < 100 && dlg.Model().canFetchMore(QModelIndex()); ++page)
        dlg.Model().fetchMore(QModelIndex());
    std::printf("100 more pages while scrolling: %.2f ms a page\n", Ms(clock) / 100);

    clock.start();
    dlg.m_editIdentifier->setText(QStringLiteral("0077309"));
    dlg.Refresh();
    std::printf("identifier filter over every record: %.1f ms\n", Ms(clock));

    std::printf("one card's journal work (duplicate look-up + durable record), median of 500: %.3f ms\n",
                MedianRecordMs(path, 500));
    CMultiLanguage::SetDefaultAppFolder(QString());
    return 0;
}
