// fleetset: the guide menu, and from it the tool windows. The program ends when the guide
// menu closes. A production line starts the test station directly with --test-station.
#include "app/GuideMenu.h"
#include "foundation/LangTable.h"
#include "foundation/debug_log.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>

#include <string>

namespace {

struct Options {
    QCommandLineOption test_station{QStringLiteral("test-station"),
                                    QStringLiteral("Open the factory test station instead of the guide menu.")};
    QCommandLineOption debug_log{QStringLiteral("debug-log"), QStringLiteral("Write the diagnostic log to standard error.")};
};

void describe(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(QStringLiteral("Finds the IP cameras on the LAN and looks after many at once."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(options.test_station);
    parser.addOption(options.debug_log);
}

// --help and --version answer before the windowing system is reached, so that they work on a
// terminal without a display. Qt's own options (-platform, -reverse) are not known yet and
// count as long options here, so "-reverse" is not read as -r -e -v.
void answer_help_and_version(int argc, char** argv, const Options& options) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    describe(parser, options);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.parse(arguments);  // errors are reported by the full parse below
    if (parser.isSet(QStringLiteral("help"))) {
        const QCoreApplication named(argc, argv);  // names the program in the usage line
        parser.showHelp(0);
    }
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("fleetset"));
    QCoreApplication::setApplicationVersion(QStringLiteral(FLEETSET_VERSION));
    const Options options;
    answer_help_and_version(argc, argv, options);

    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(parser, options);
    parser.process(app);
    if (parser.isSet(options.debug_log)) set_debug_log_enabled(true);

    CGuideMenu menu;
    // Beside the program in the build tree, in the data directory when installed; every
    // window speaks the same language.
    const std::string lang_ini = find_lang_ini(find_lang_directory(), user_language_id());
    menu.m_lang_ini = lang_ini;
    menu.batch_window().m_lang_ini = lang_ini;
    menu.test_window().m_lang_ini = lang_ini;
    if (parser.isSet(options.test_station)) {
        menu.test_window().exec();
        return 0;
    }
    menu.exec();
    return 0;
}
