#include "shell/LanguageTemplateCommand.h"
#include "shell/RFIDApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (const std::optional<int> status = WriteLanguageTemplateWhenAsked(QApplication::arguments()))
        return *status;
    theApp.InitInstance();
    return 0;
}
