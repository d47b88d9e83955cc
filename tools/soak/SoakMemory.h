#pragma once

// What the soak measures of its own process: open files, resident memory, the heap in use, and the two
// parts of the heap that may grow with the cards by design: the window's log, which keeps every line,
// and SQLite's page cache, which is bounded.

class QPlainTextEdit;

struct MemorySample {
    int openFiles = 0;
    long residentKiB = 0;
    long anonymousKiB = 0;     // of it not backed by a file: heaps and stacks, not the libraries' code
    long long heapBytes = -1;   // allocated and not freed, in every arena; -1 when not known
    long long sqliteBytes = -1; // what SQLite holds (its page cache above all); -1 when it cannot say
};

MemorySample SampleMemory();

// The heap the log's text takes: measured by emptying it, so only once the soak has finished with it.
long long EmptyLogAndMeasure(QPlainTextEdit& log);
