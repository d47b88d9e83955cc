#pragma once

#include "language/MultiLanguage.h"
#include "pages/HandsFreeRun.h"
#include "pages/NumberSequence.h"
#include "platform/Dialog.h"
#include "reader/NumberForms.h"

#include <QElapsedTimer>
#include <QFont>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class CPageBatch;
class CPageHost;
class CPageJournal;
class QCheckBox;
class QComboBox;
struct BatchCardOutcome;
struct BatchOutcome;
struct CBuiltInText;
class QLabel;
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

    // What became of one card that WriteOneCard() handled.
    enum class CardOutcome {
        NotWritten,   // reader not ready or both fields empty: nothing sent, nothing logged
        Refused,      // no identifier in the fields, or the journal refused the card: nothing sent
        WriteError,   // the reader did not take the frame
        VerifyFailed, // written, but the card read back holds something else (or nothing)
        Good,
        NoNumber, // the chosen batch gave no number or cannot record the card: the log says why
        AlreadyWritten, // the card on the reader holds a number on record as a good card: nothing sent
    };
    struct CardResult {
        CardOutcome outcome = CardOutcome::NotWritten;
        std::uint64_t cardId = 0;              // the identifier sent to the card (AlreadyWritten: the one it holds)
        std::optional<std::uint64_t> readBack; // what the verification read, if it ran
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

    // Writes one card from the fields, verifies it when Verify is on, logs it and advances the
    // number after a good card. Every card the page writes goes through here, so each is handled
    // the same way whatever started it. With the journal on, the card on the reader is read first
    // (laidCard: what a hands-free run's poll has just read of it) and a finished card, one whose
    // identifier is on record as a good card, is not written again.
    CardResult WriteOneCard(std::optional<std::uint64_t> laidCard = std::nullopt);

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
    QLabel* m_labelBatchCounts = nullptr;
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
    // The identifier to write now: the typed one, or in Random mode a fresh draw when the typed one is on a
    // good card already. Nothing when the card is refused (the journal cannot record it, or the number is
    // on a good card): that is said in the log and recorded, and the number stays as it was.
    std::optional<std::uint64_t> ClearForWriting(CPageJournal& journal, std::uint64_t cardId);
    std::nullopt_t RefuseUnrecorded(CPageJournal& journal, std::uint64_t cardId);
    // The guard every card of the page passes: a finished card on the reader is refused (said in the log and
    // recorded); nothing when the card may be written.
    std::optional<CardResult> RefuseFinishedCard(std::optional<std::uint64_t> laidCard);
    std::optional<std::uint64_t> ReadCardBeforeWriting();
    void CreateHandsFreeControls();
    void TranslateHandsFree();
    void ShowWriteButton();
    enum class RunState { Waiting, Writing, Good, Failed, LeftAsItWas, Stopped };
    // The state line is kept as the way to make its text, so that it follows a language change at once.
    void ShowRunState(RunState state, std::function<QString()> text);
    void RenderRunState();
    void ShowWaitingState();
    QString StoppedText() const;
    void OnCardOfRun(std::optional<std::uint64_t> laidCard, const CardResult& result);
    QString FailureReason(const CardResult& result) const;

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
    CardResult WriteBatchCard(std::optional<std::uint64_t> laidCard);
    CardOutcome LogBatchCard(const BatchCardOutcome& outcome);
    void LogBatchProblem(const QString& reason, const CBuiltInText& stopText);

    RunState m_runState = RunState::Waiting;
    std::function<QString()> m_fnRunStateText;
    std::unique_ptr<CPageBatch> m_pBatch;
    // The fields as the operator typed them, shown again when the choice goes back to "(none)".
    QString m_strTypedVendorId;
    QString m_strTypedCardNo;
    std::optional<std::uint64_t> m_batchDone, m_batchLeft;
    // Why the chosen batch ended a hands-free run.
    const CBuiltInText* m_pBatchStopText = nullptr;

    // The Write button's text in the current language, shown again when a run ends.
    QString m_strWriteText;
    // Since the last card written with Verify off: such a card does not answer reads for a moment.
    QElapsedTimer m_writtenClock;
};
