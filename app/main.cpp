// fleetset: the guide menu, and from it the tool windows. The program ends when the guide
// menu closes. A production line starts the test station directly with --test-station.
#include "app/GuideMenu.h"
#include "foundation/debug_log.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("fleetset"));
    QApplication::setApplicationVersion(QStringLiteral(FLEETSET_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Finds the IP cameras on the LAN and looks after many at once."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption test_station(QStringLiteral("test-station"),
                                          QStringLiteral("Open the factory test station instead of the guide menu."));
    const QCommandLineOption debug_log_option(QStringLiteral("debug-log"),
                                              QStringLiteral("Write the diagnostic log to standard error."));
    parser.addOption(test_station);
    parser.addOption(debug_log_option);
    parser.process(app);
    if (!parser.isSet(debug_log_option)) set_debug_log_sink([](std::string_view) {});

    CGuideMenu menu;
    if (parser.isSet(test_station)) {
        menu.test_window().exec();
        return 0;
    }
    menu.exec();
    return 0;
}
