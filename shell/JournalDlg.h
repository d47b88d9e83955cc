#pragma once

// CJournalDlg: File > Production Journal... The journal's records, newest first, filtered by identifier,
// result and date range, with the totals of good, failed and to-throw-away cards of what is shown; the
// selected rows can be copied and what is shown exported as CSV.

#include "journal/JournalModel.h"
#include "language/MultiLanguage.h"

#include <QDate>
#include <QDialog>
#include <QTimer>

#include <memory>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// The filter the controls describe: a part of the identifier, a result (index 0: all, then the results in
// the order of JournalResult), and a range of UTC days, each end left open by an invalid date.
JournalFilter MakeJournalFilter(const QString& identifierText, int resultIndex, QDate from, QDate to);

class CJournalDlg : public QDialog {
    Q_OBJECT
public:
    // Shows the journal a connection description names (CJournal::Open); language gives the texts.
    CJournalDlg(const QString& connection, CMultiLanguage& language, QWidget* parent = nullptr);
    ~CJournalDlg() override;

    // Sets every text in the catalogue's current language.
    void ApplyLanguage();
    // Shows the records of the current filter again (also after new records were added).
    void Refresh();

    JournalFilter CurrentFilter() const;
    CJournalModel& Model() { return *m_model; }
    CJournal* Journal() const { return m_journal.get(); }

    // The selected rows as text, one line each, cells separated by tabs (what Copy puts on the clipboard).
    QString SelectedRowsText() const;
    void OnCopy();
    // Writes what is shown to path; the message to show either way.
    bool ExportTo(const QString& path, QString* message);
    void OnExport();

    QLineEdit* m_editIdentifier = nullptr;
    QComboBox* m_comboResult = nullptr;
    QDateEdit* m_dateFrom = nullptr;
    QDateEdit* m_dateTo = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_totals = nullptr;
    QPushButton* m_btnCopy = nullptr;
    QPushButton* m_btnExport = nullptr;
    QPushButton* m_btnClose = nullptr;

private:
    void BuildControls();
    void SetText(QWidget* control, const QString& text);
    QDate DateOf(const QDateEdit* edit) const;
    QString CellText(const JournalRecord& record, int column) const;

    CMultiLanguage& m_Language;
    std::unique_ptr<CJournal> m_journal;
    QString m_strOpenProblem;
    CJournalModel* m_model = nullptr;
    QLabel* m_labelIdentifier = nullptr;
    QLabel* m_labelResult = nullptr;
    QLabel* m_labelFrom = nullptr;
    QLabel* m_labelTo = nullptr;
    QTimer m_refreshTimer;
};
