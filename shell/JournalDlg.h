#pragma once

// CJournalDlg: File > Production Journal... The journal's records, newest first, however many there are:
// one search field for a card in any form it is printed in, filters for result, date range, station,
// source and batch, and the totals of good, failed, refused and to-throw-away cards of what is shown,
// counted on a thread of their own while the rows are already there.
// New records appear while it is open; the selected rows can be copied and what is shown exported as CSV
// or JSON with a progress bar and Cancel. Column widths, the window's placement and the export folder
// are remembered in setting.ini.

#include "journal/JournalCounter.h"
#include "journal/JournalExport.h"
#include "journal/JournalModel.h"
#include "language/MultiLanguage.h"
#include "shell/JournalTable.h"

#include <QDate>
#include <QDialog>
#include <QTimer>

#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

// The filter the controls describe: a card searched for, a result (index 0: all, then the results in
// the order of JournalResult), and a range of UTC days, each end left open by an invalid date.
JournalFilter MakeJournalFilter(const QString& identifierText, int resultIndex, QDate from, QDate to);

class CJournalDlg : public QDialog {
    Q_OBJECT
public:
    // Shows the journal a connection description names (CJournal::Open); language gives the texts.
    CJournalDlg(const QString& connection, CMultiLanguage& language, QWidget* parent = nullptr);
    ~CJournalDlg() override;

    // How often the window looks for new records.
    static constexpr int LIVE_INTERVAL_MS = 1000;
    // Filters of more records than this show an estimated count until the counter's exact one comes.
    static constexpr qint64 COUNT_AT_ONCE = 2000;

    // Sets every text in the catalogue's current language.
    void ApplyLanguage();
    // Shows the records of the current filter again from the top; their totals follow (ComputeTotals).
    void Refresh();
    // Asks for the totals of what is shown, and for its exact count while the model shows an estimate;
    // they come from the counter's thread (the window does it when it shows the rows).
    void ComputeTotals();
    // Whether the totals asked for have not come yet.
    bool FiguresPending() const { return m_nFiguresRequest != 0; }
    // Takes in the records added since the last look, keeping the selection and, unless the view is at
    // the top, the rows in view. The number of records added.
    qint64 TakeNewRecords();

    JournalFilter CurrentFilter() const;
    CJournalModel& Model() { return *m_model; }
    CJournal* Journal() const { return m_journal.get(); }

    // The selected rows as text, one line each, cells separated by tabs (what Copy puts on the clipboard).
    QString SelectedRowsText() const;
    void OnCopy();
    // Writes what is shown to path; the message to show either way.
    bool ExportTo(const QString& path, QString* message, ExportFormat format = ExportFormat::Csv);
    void OnExport(ExportFormat format);
    // Where the export's file dialog starts: the last export's folder, else the user's documents.
    QString ExportFolder() const;

    QLineEdit* m_editIdentifier = nullptr;
    QComboBox* m_comboResult = nullptr;
    QDateEdit* m_dateFrom = nullptr;
    QDateEdit* m_dateTo = nullptr;
    QLineEdit* m_editStation = nullptr;
    QComboBox* m_comboSource = nullptr;
    QLineEdit* m_editBatch = nullptr;
    CJournalTable* m_table = nullptr;
    QLabel* m_totals = nullptr;
    QPushButton* m_btnRefresh = nullptr;
    QPushButton* m_btnCopy = nullptr;
    QPushButton* m_btnExport = nullptr;
    QPushButton* m_btnExportJson = nullptr;
    QPushButton* m_btnClose = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void SetText(QWidget* control, const QString& text);
    QDate DateOf(const QDateEdit* edit) const;
    QString CellText(const JournalRecord& record, int column) const;
    QString ReasonText(const QString& reason) const;
    void ShowTotals();
    void OnCounted(quint64 request, qint64 records, const QList<JournalKey>& steps, qint64 step);
    void OnTotalled(quint64 request, const JournalTotals& totals);
    void OnCountFailed(quint64 request, const QString& error);
    void SizeColumns();
    void FillWidth();
    void RestoreSettings();
    void SaveSettings();
    QString Setting(const char* key) const;
    void SetSetting(const char* key, const QString& value);

    CMultiLanguage& m_Language;
    std::unique_ptr<CJournal> m_journal;
    std::unique_ptr<CJournalCounter> m_counter;
    quint64 m_nFiguresRequest = 0;   // the request whose answers are awaited, 0 for none
    std::int64_t m_nTotalsUpTo = 0;  // the latest record the counter's totals take in
    QString m_strOpenProblem;
    CJournalModel* m_model = nullptr;
    std::optional<JournalTotals> m_totalsShown;
    QString m_strTotalsError;
    QList<QLabel*> m_labels; // in front of the filter fields, in the order of their texts
    QTimer m_refreshTimer;
    QTimer m_liveTimer;
    bool m_bWidthsRestored = false;
};
