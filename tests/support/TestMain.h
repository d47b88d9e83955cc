#pragma once

// The one main of every test binary (TestMain.cpp). What differs between the binaries is this set-up:
// rfid_add_gtest (cmake/RfidTesting.cmake) registers one for each binary from its tier and options,
// as the definition of kTestBinarySetup.

enum class TestApplication {
    None,    // plain functions: no application object
    Core,    // event loop, timers, Qt SQL drivers
    Widgets, // windows, offscreen at scale 1
};

struct TestBinarySetup {
    TestApplication application;
    // A fixed widget style, so that the system colours and metrics the controls read are the same on
    // every machine; null keeps the platform's own.
    const char* style;
    // Runs first thing, before any Qt object: the device tests put the process under the preload of
    // the emulated USB bus here.
    void (*prepare)(int argc, char** argv);
};

extern const TestBinarySetup kTestBinarySetup;
