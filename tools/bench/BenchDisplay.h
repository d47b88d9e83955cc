#pragma once

// Where a benchmark's windows are drawn. An X display is the real thing: an X server of the
// benchmark's own (Xvfb) when the program is installed, else the display the user runs on; without
// either, Qt's offscreen platform, which draws into memory and shows nothing. Chosen before the
// application object exists, since Qt reads QT_QPA_PLATFORM and DISPLAY when it starts.
//
//   CBenchDisplay display(CBenchDisplay::Choice::Best);   // may start Xvfb
//   QApplication app(argc, argv);
//   std::printf("%s\n", qPrintable(display.Description()));

#include <QProcess>
#include <QString>

class CBenchDisplay {
public:
    enum class Choice { Best, Xvfb, Current, Offscreen };

    explicit CBenchDisplay(Choice choice);
    ~CBenchDisplay();
    CBenchDisplay(const CBenchDisplay&) = delete;
    CBenchDisplay& operator=(const CBenchDisplay&) = delete;

    // False when the display asked for could not be had (no Xvfb, no DISPLAY).
    bool IsUsable() const { return m_bUsable; }
    QString Description() const { return m_description; }

private:
    bool StartXvfb();

    QProcess m_server;
    bool m_bUsable = false;
    QString m_description;
};
