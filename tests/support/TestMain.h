#pragma once

// The one main of every test binary (TestMain.cpp). What differs between the binaries is this set-up:
// rfid_add_gtest (cmake/RfidTesting.cmake) registers one for each binary from its tier and options, as
// the definition of kTestBinarySetup. The main itself links Qt Core only, so a binary of plain functions
// or of the core loads no window library; a binary whose tier needs windows makes its application with
// MakeWidgetsApplication (TestApplication.h).

class QCoreApplication;

struct TestBinarySetup {
    // Makes the binary's application object: null for plain functions, a core application (event loop,
    // timers, Qt SQL drivers) or a widget application (windows offscreen at scale 1).
    QCoreApplication* (*makeApplication)(int& argc, char** argv);
    // Runs first thing, before any Qt object: the device tests put the process under the preload of
    // the emulated USB bus here.
    void (*prepare)(int argc, char** argv);
};

extern const TestBinarySetup kTestBinarySetup;

QCoreApplication* MakeCoreApplication(int& argc, char** argv);
