// rfid-report: writes the delivery report of a batch as a PDF for `rfidctl batch report --pdf`.
// Qt's PDF writer needs Qt Gui, which rfidctl itself never loads (it runs where no display library is
// installed): rfidctl starts this small program, installed beside it, for the document alone.
//
//   rfid-report CONNECTION BATCH FILE FORMS
//
// CONNECTION is the journal's file or server as rfidctl resolved it, FORMS the printed forms as stored
// ("HEX,W26"; empty for none). Exit status 0, or 7 with the reason on standard error.

#include "journal/Database.h"
#include "shell/DeliveryReport.h"

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // No window is shown: the offscreen platform works without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 5) {
        std::fprintf(stderr, "usage: rfid-report CONNECTION BATCH FILE FORMS\n");
        return 2;
    }
    QString error;
    const std::optional<DatabaseLocation> location = ParseDatabaseLocation(arguments[1], &error);
    QSqlDatabase db;
    if (location)
        db = OpenDatabase(*location, QStringLiteral("rfid-report"), &error);
    const bool written = db.isOpen() && MigrateDatabase(db, &error) &&
                         WriteDeliveryReport(db, arguments[2], NumberFormsFromText(arguments[4]), arguments[3], &error);
    if (!written) {
        std::fprintf(stderr, "%s\n", error.toLocal8Bit().constData());
        return 7;
    }
    return 0;
}
