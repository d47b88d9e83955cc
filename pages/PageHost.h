#pragma once

// CPageHost: what the card pages and the navigation pane use of the window that holds them. The
// main window implements it; the pages know nothing else of it, so a page builds and runs without
// the main window.

#include <QString>

class CJournalRecorder;
class CRFIDDevice;

class CPageHost {
public:
    // Whether the reader is open and identified; the pages send nothing while it is not.
    virtual bool IsReaderReady() const = 0;
    // The reader object of the program, the one every card operation goes through.
    virtual CRFIDDevice& Reader() = 0;
    // Writes into the log: appends the text, or makes the log hold only the text when bReplace is set.
    virtual void AppendLog(const QString& text, bool bReplace) = 0;
    // Queues a command; it runs after the handler in progress has returned.
    virtual void PostCommand(int nID) = 0;
    // Makes page 0 (Read/Write) or 1 (Mass Production) the page above the log.
    virtual void ShowPage(int nPage) = 0;
    // The Read/Write page's read format: 1 reads the whole identifier, 0 the card number alone.
    virtual void SetReadFormat(int bIncludeVendor) = 0;
    // The production journal's recorder of the program, which every card operation is recorded through;
    // null when the window keeps no journal.
    virtual CJournalRecorder* Recorder() = 0;

protected:
    ~CPageHost() = default;
};
