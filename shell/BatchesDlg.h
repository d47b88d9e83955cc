#pragma once

// CBatchesDlg: File > Batches... Every batch of the journal's database with its progress, counts, rate,
// time to finish and state, refreshed every 2 s in place (no flicker, the selection kept); the stations
// of the chosen batch and a chart of their cards per minute; and what a supervisor does with batches:
// make a range, import a list, release a station's claims, write the delivery report.
//
// Every figure comes from the functions of batches/BatchStatus.h, so the window and `rfidctl batch
// status` always agree.

#include "batches/BatchStatus.h"
#include "cards/NumberForms.h"
#include "language/MultiLanguage.h"

#include <QDialog>
#include <QSqlDatabase>
#include <QTimer>

#include <functional>
#include <map>

class QChart;
class QChartView;
class QLabel;
class QLineSeries;
class QPushButton;
class QTableWidget;

constexpr int BATCHES_REFRESH_MS = 2000;

// The columns of the batch list and of the station list.
enum BatchColumn { BATCH_NAME, BATCH_PROGRESS, BATCH_CLAIMED, BATCH_THROWAWAY, BATCH_LEFT, BATCH_RATE, BATCH_FINISH,
                   BATCH_STATE, BATCH_COLUMNS };
enum StationColumn { STATION_NAME, STATION_HOST, STATION_SEEN, STATION_CARDS, STATION_FAILURES, STATION_STATE,
                     STATION_COLUMNS };

// A range typed into the window's fields: card numbers of 0 to 4294967295 in decimal digits, the first
// not above the last; none otherwise.
std::optional<BatchRange> RangeFromFields(int vendor, const QString& first, const QString& last, bool random);

class CBatchesDlg : public QDialog {
    Q_OBJECT
public:
    // Opens the database a journal connection text names (the [Journal] Database= of setting.ini).
    CBatchesDlg(const QString& connection, CMultiLanguage& language, QWidget* parent = nullptr);
    ~CBatchesDlg() override;

    void ApplyLanguage();
    // Reads every figure again and shows it in place.
    void Tick();

    QString SelectedBatch() const;
    bool SelectBatch(const QString& name);
    QString SelectedStation() const;
    const std::vector<BatchFigures>& Batches() const { return m_batches; }
    const std::vector<StationFigures>& Stations() const { return m_stations; }
    QChart* Chart() const;

    // What the buttons do once their questions are answered; each returns whether it was done and the
    // message it showed (in the window's language).
    bool MakeRangeBatch(const QString& name, const BatchRange& range, QString* message);
    bool ImportListFile(const QString& name, const QString& path, QString* message);
    // Asks m_fnConfirm first: releasing cannot be undone.
    bool ReleaseSelectedStation(QString* message);
    bool WriteReport(const QString& path, QString* message);

    // Asks a yes/no question (a message box; tests answer it themselves).
    std::function<bool(const QString& question)> m_fnConfirm;
    // Shows a message (a message box; tests read it themselves).
    std::function<void(const QString& message, bool problem)> m_fnShow;
    // The number forms the delivery report lists besides the 13 digits (File > Number Forms).
    NumberFormSet m_nNumberForms = NUMBER_FORMS_ALL;

    QTableWidget* m_tableBatches = nullptr;
    QTableWidget* m_tableStations = nullptr;
    QChartView* m_chartView = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_btnNewRange = nullptr;
    QPushButton* m_btnImport = nullptr;
    QPushButton* m_btnRelease = nullptr;
    QPushButton* m_btnReport = nullptr;
    QPushButton* m_btnClose = nullptr;

private:
    void BuildControls();
    void ShowBatches();
    void ShowStations();
    void ShowChart(const std::vector<StationRate>& rates);
    void UpdateButtons();
    QString Words(const QString& error) const;
    void OnNewRange();
    void OnImport();
    void OnRelease();
    void OnReport();
    void Say(const QString& message, bool problem);

    CMultiLanguage& m_Language;
    QString m_strConnection;
    QSqlDatabase m_db;
    QString m_strOpenProblem;
    std::vector<BatchFigures> m_batches;
    std::vector<StationFigures> m_stations;
    std::map<QString, QLineSeries*> m_series;
    QTimer m_timer;
};
