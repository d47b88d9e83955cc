#pragma once

#include "batches/BatchStatus.h"
#include "cards/NumberForms.h"
#include "cards/NumberSequence.h"
#include "language/MultiLanguage.h"
#include "platform/Dialog.h"
#include "station/CardRoutine.h"
#include "station/HandsFreeRun.h"

#include <QFont>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class CPageBatch;
class CPageHost;
class QCheckBox;
class QComboBox;
struct BatchCardOutcome;
struct BatchOutcome;
struct CBuiltInText;
class QLabel;
class QProgressBar;
class QLineEdit;
class QPushButton;

// The Mass Production page (dialog 138): writes one card after another from a vendor ID and a
// card number that advances after every good card by the chosen rule, optionally reading each
// card back first to verify it.
class CMPDlg : public CDialog {
    Q_OBJECT
public:
    enum { IDD = 138 };
    enum {
        IDC_BUTTON_WRITE = 1001,
        IDC_EDIT_CARDNO = 1003,
        IDC_EDIT_VENDORID = 1004,
        IDC_RADIO_INCREASE = 1011,
        IDC_RADIO_RANDOM = 1012,
        IDC_RADIO_NOCHANGE = 1013,
        IDC_CHECK_VERIFY = 1014,
        IDC_STATIC_FRAME = 1015,
        // Added to the template: the hands-free choice in the option frame.
        IDC_CHECK_HANDSFREE = 1016,
        // The batch the numbers come from, "(none)" for the fields' own, and its counts under the row.
        IDC_COMBO_BATCH = 1017,
        IDC_STATIC_BATCH = 1018,
        IDC_STATIC_BATCHCOUNTS = 1019,
    };

    // The pause between writing a card and reading it back to verify it.
    static constexpr int VERIFY_DELAY_MS = 500;

    explicit CMPDlg(QWidget* parent = nullptr);
    ~CMPDlg() override;

    // Switches the page's own catalogue to strLanguage and translates the page as dialog 138.
    void ApplyLanguage(const QString& strLanguage);

    // The Write button and Enter: writes one card, or with Hands-free on starts a run, or stops the run
    // that is going (the button then reads Stop).
    void OnWrite();

    // Writes one card from the fields or the chosen batch through the card routine, verifies it when
    // Verify is on, logs it and advances the number after a good card. Every card the page writes goes
    // through here, so each is handled the same way whatever started it. With the journal on, the card on
    // the reader is read first (laidCard: what a hands-free run's poll has just read of it) and a finished
    // card, one whose identifier is on record as a good card, is not written again.
    CardOutcome WriteOneCard(std::optional<std::uint64_t> laidCard = std::nullopt);

    // A hands-free run: polls the reader every 100 ms and writes each card laid on it once.
    void StartHandsFreeRun();
    void StopHandsFreeRun(CHandsFreeRun::StopReason reason);
    bool IsHandsFreeRunning() const { return m_Run.IsRunning(); }
    // One poll of a run (the run's timer).
    void OnHandsFreePoll();

    // The batch choice: index 0 is "(none)", the others the batches of the journal's database. Choosing
    // one starts the station and shows its claimed number in the fields, which cannot be edited then.
    void OnBatchChosen(int index);
    // Fills the choice again from the journal's database, keeping the chosen batch.
    void RefreshBatchList();
    // Stops the station of the chosen batch; the window calls it before its journal closes.
    void EndBatch();
    const CPageBatch* ChosenBatch() const { return m_pBatch.get(); }

    bool PreTranslateMessage(QObject* target, QKeyEvent* e) override;

    // One exchange between the controls and the attributes: from the controls into the
    // attributes when bSaveAndValidate is true ("read the controls"), otherwise the other way
    // round ("show the attributes").
    void UpdateData(bool bSaveAndValidate = true);

    int m_nNumberMode = MODE_INCREASE;
    int m_bVerify = 1;
    QFont m_font;
    CMultiLanguage m_Language;
    // The window that holds the page; set by it right after the page is created.
    CPageHost* m_pMainDlg = nullptr;
    // The printed forms that the log line of a good card carries (File > Number Forms); none at first.
    NumberFormSet m_nNumberForms = 0;
    QString m_strVendorId;
    QLineEdit* m_editVendorId = nullptr;
    QString m_strCardNo;
    QLineEdit* m_editCardNo = nullptr;
    QPushButton* m_btnWrite = nullptr;
    QLabel* m_frame = nullptr;
    // The generator of MODE_RANDOM, seeded with the time when the page is initialised.
    CRandomGenerator m_Random;
    QCheckBox* m_checkHandsFree = nullptr;
    QLabel* m_labelRunState = nullptr;
    // The poll timer of a hands-free run (CHandsFreeRun::POLL_INTERVAL_MS).
    QTimer m_RunTimer;
    CHandsFreeRun m_Run;
    QLabel* m_labelBatch = nullptr;
    QComboBox* m_comboBatch = nullptr;
    // Good cards of the total and the time to finish of the chosen batch.
    QProgressBar* m_barBatch = nullptr;
    // Keeps the station's name while the operator pauses between cards.
    QTimer m_BatchHeartbeat;

protected:
    bool OnInitDialog() override;
    void OnCommand(int nID) override;
    void resizeEvent(QResizeEvent* e) override;
    // The batch list is read again each time the page is shown, so a batch made meanwhile is there.
    void showEvent(QShowEvent* e) override;
    // Another page taking this one's place ends a run: cards are written only where the operator sees it.
    void hideEvent(QHideEvent* e) override;
    // During a run: Escape anywhere in the window stops it, wherever the focus is.
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void DoDataExchange(bool bSaveAndValidate);
    void ExchangeRadioGroup(bool bSaveAndValidate);
    void LayoutControls();
    CCardRoutine& Routine();
    // The card's lines in the log as the routine goes, then what ended a card that was not written.
    void LogCardStep(CardStep step, const CardOutcome& card);
    void LogRefusal(const CardOutcome& card);
    void CreateHandsFreeControls();
    void TranslateHandsFree();
    void ShowWriteButton();
    enum class RunState { Waiting, Writing, Good, Failed, LeftAsItWas, Stopped };
    // The state line is kept as the way to make its text, so that it follows a language change at once.
    void ShowRunState(RunState state, std::function<QString()> text);
    void RenderRunState();
    void ShowWaitingState();
    QString StoppedText() const;
    void OnCardOfRun(std::optional<std::uint64_t> laidCard, const CardOutcome& card);
    QString FailureReason(const CardOutcome& card) const;

    void CreateBatchControls();
    void TranslateBatch();
    void ChooseBatch(const QString& name);
    bool LeaveBatch();
    void ShowChosenBatch(bool chosen);
    void ShowBatchState();
    void SelectChosenBatch();
    void OnBatchHeartbeat();
    void SayBatchRefused();
    void LogBatchLine(const QString& text); // a line of its own in the log
    void LayoutBatchCounts();
    void LayoutBatchChoice();
    CardOutcome WriteBatchCard(const CardRequest& request);
    CardResult LogBatchCard(const BatchCardOutcome& outcome);
    void LogBatchProblem(const QString& reason, const CBuiltInText& stopText);

    RunState m_runState = RunState::Waiting;
    std::function<QString()> m_fnRunStateText;
    std::unique_ptr<CPageBatch> m_pBatch;
    // The fields as the operator typed them, shown again when the choice goes back to "(none)".
    QString m_strTypedVendorId;
    QString m_strTypedCardNo;
    std::optional<BatchFigures> m_batchFigures; // as last read: kept while the database does not answer
    // Why the chosen batch ended a hands-free run.
    const CBuiltInText* m_pBatchStopText = nullptr;

    // The Write button's text in the current language, shown again when a run ends.
    QString m_strWriteText;
    // Every card of the page goes through it; made with the window's reader on first use.
    std::unique_ptr<CCardRoutine> m_pRoutine;
};
