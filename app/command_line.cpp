#include "app/command_line.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <QStringList>

#include <set>
#include <string_view>

namespace tarvik {
namespace {

// Qt's options for a widget program; those that take a value take the next
// argument with them.
const std::set<std::string_view> kQtOptionsWithValue{"-platform",        "-platformpluginpath",
                                                     "-platformtheme",   "-plugin",
                                                     "-qmljsdebugger",   "-style",
                                                     "-stylesheet",      "-session",
                                                     "-display",         "-geometry",
                                                     "-title",           "-name",
                                                     "-qwindowgeometry", "-qwindowicon",
                                                     "-qwindowtitle",    "-visual"};
const std::set<std::string_view> kQtFlags{"-reverse", "-widgetcount", "-nograb",
                                          "-dograb",  "-sync",        "-testability"};

struct Options {
    QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Run without a window; the trace goes to standard output.")};
    QCommandLineOption quiet{
        QStringLiteral("quiet"),
        QStringLiteral("Headless: leave the trace lines off standard output.")};
    QCommandLineOption config{
        QStringLiteral("config"),
        QStringLiteral(
            "Read the settings from PATH instead of TarvikSlave.ini beside the program."),
        QStringLiteral("PATH")};
    QCommandLineOption traceFile{QStringLiteral("trace-file"),
                                 QStringLiteral("Append every trace line, dated, to PATH."),
                                 QStringLiteral("PATH")};
    QCommandLineOption registers{
        QStringLiteral("registers"),
        QStringLiteral("Load the register values from the CSV file PATH at start."),
        QStringLiteral("PATH")};
    QCommandLineOption values{
        QStringLiteral("values"),
        QStringLiteral("Headless: write every point's value to standard output once a second.")};
    QCommandLineOption seed{
        QStringLiteral("seed"),
        QStringLiteral("Seed the random source with N instead of the clock, so chance fault "
                       "rules and random register values repeat run to run."),
        QStringLiteral("N")};
};

void Describe(QCommandLineParser& parser, const Options& options) {
    parser.setApplicationDescription(
        QStringLiteral("Tarvik Slave Emulator: a Modbus/TCP slave that answers a master's requests "
                       "and traces them."));
    parser.addOptions({options.headless, options.quiet, options.config, options.traceFile,
                       options.registers, options.seed, options.values});
    parser.addHelpOption();
    parser.addVersionOption();
}

}  // namespace

CommandLine ParseCommandLine(int argc, char* argv[]) {
    CommandLine line;
    QStringList ours;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i > 0 && kQtOptionsWithValue.count(arg) != 0) {
            line.applicationArgs.emplace_back(arg);
            if (i + 1 < argc) line.applicationArgs.emplace_back(argv[++i]);
            continue;
        }
        if (i > 0 && kQtFlags.count(arg) != 0) {
            line.applicationArgs.emplace_back(arg);
            continue;
        }
        if (i == 0) line.applicationArgs.emplace_back(arg);
        ours << QString::fromLocal8Bit(argv[i]);
    }

    QCommandLineParser parser;
    const Options options;
    Describe(parser, options);
    if (!parser.parse(ours)) {
        line.error = parser.errorText().toStdString();
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        line.error =
            "Unexpected argument '" + parser.positionalArguments().first().toStdString() + "'.";
        return line;
    }
    line.help = parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"));
    line.version = parser.isSet(QStringLiteral("version"));
    line.headless = parser.isSet(options.headless);
    line.quiet = parser.isSet(options.quiet);
    line.values = parser.isSet(options.values);
    line.config = parser.value(options.config).toStdString();
    line.traceFile = parser.value(options.traceFile).toStdString();
    line.registers = parser.value(options.registers).toStdString();
    if (parser.isSet(options.seed)) {
        const QString text = parser.value(options.seed);
        bool ok = false;
        const qulonglong seed = text.toULongLong(&ok);
        // Digits only: no sign, blank or base prefix slips through as another number.
        static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
        if (!ok || !digits.match(text).hasMatch()) {
            line.error = "Bad --seed '" + text.toStdString() + "': a whole number is needed.";
            return line;
        }
        line.seed = static_cast<uint64_t>(seed);
    }
    return line;
}

std::string UsageText(const std::string& programName) {
    QCommandLineParser parser;
    const Options options;
    Describe(parser, options);
    // Without an application object the text has a placeholder for the name.
    QString text = parser.helpText();
    text.replace(QStringLiteral("<executable_name>"), QString::fromStdString(programName));
    return text.toStdString();
}

}  // namespace tarvik
