// fleetset: the guide menu, and from it the tool windows. The program ends when the guide
// menu closes.
#include "app/GuideMenu.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("fleetset"));
    CGuideMenu menu;
    menu.exec();
    return 0;
}
