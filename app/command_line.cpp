#include "command_line.h"

#include "quillet_version.h"

#include "modbus/function_table.h"
#include "requests/request_language.h"
#include "window/window_constants.h"

#include <QCommandLineParser>

#include <algorithm>
#include <iterator>

namespace {

// Parsed before the application exists, so the parser cannot know the program's name.
QString usage(const QCommandLineParser& parser)
{
    return parser.helpText().replace("<executable_name>", "quillet");
}

CommandLine refuse(const QString& why, const QCommandLineParser& parser)
{
    CommandLine done;
    done.exitCode = 2;
    done.err = "quillet: " + why + "\n\n" + usage(parser);
    return done;
}

// Every option the toolkit takes from the same command line (its own, the X11 platform's and
// the debugger's): these and their values are the toolkit's, not ours to refuse. Both
// "-style" and "--style" forms, and "-style=fusion".
const char* const kToolkitValued[] = { "platform", "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "display", "geometry", "style",
    "stylesheet", "title", "name", "icon", "visual", "qmljsdebugger" };
const char* const kToolkitFlags[]
    = { "reverse", "widgetcount", "nograb", "dograb", "sync", "testability" };

QStringList withoutToolkitOptions(const QStringList& args)
{
    QStringList ours;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        const QString word = arg.startsWith("--") ? arg.mid(2) : arg.mid(1);
        const QString name = word.section(u'=', 0, 0);
        const bool valued = std::any_of(std::begin(kToolkitValued), std::end(kToolkitValued),
            [&](const char* o) { return name == QLatin1String(o); });
        const bool flag = std::any_of(std::begin(kToolkitFlags), std::end(kToolkitFlags),
            [&](const char* o) { return word == QLatin1String(o); });
        if (i == 0 || !arg.startsWith(u'-') || (!valued && !flag))
            ours << arg;
        else if (valued && !word.contains(u'=') && i + 1 < args.size())
            ++i; // its value
    }
    return ours;
}

void addPollOptions(QCommandLineParser& parser);

void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription("Modbus master test terminal: RTU or ASCII on a serial port, "
                                     "Modbus TCP or UDP, RTU or ASCII through a gateway.");
    parser.addOptions({
        { { "h", "help" }, "Show this help and exit." },
        { { "v", "version" }, "Show the version and exit." },
        { "port", "Start with NAME in the port box.", "NAME" },
        { "speed", "Start with this speed selected: 9600, 19200 or 115200.", "BITS" },
        { "open", "Press Open once the window is shown." },
        { "list-ports", "Print the serial ports found and exit." },
        { "monitor", "Show the line monitor (F2) at start." },
        { "listen",
            "Open the port and listen to a line another master drives: nothing is written. "
            "Shows the monitor." },
        { "parity", "Parity for the next Open: none (the default), even or odd.", "PARITY" },
        { "echo",
            "Whether the adapter hands back what it sends: off, on or auto (the default; told "
            "from what comes back).",
            "ECHO" },
        { "stop-bits", "Stop bits for the next Open: 1 (the default) or 2.", "BITS" },
        { "map",
            "Load the register map FILE (CSV) into the monitor: names and engineering "
            "values.",
            "FILE" },
        { "workspace",
            "Open the workspace FILE saved from the monitor; options given win over "
            "what it holds. Shows the monitor.",
            "FILE" },
    });
    addPollOptions(parser);
}

void addPollOptions(QCommandLineParser& parser)
{
    parser.addOptions({
        { "poll",
            "Poll COMMAND (in quillet-cli's request language, e.g. \"read-input 0 10\") once "
            "the port is open; repeat it to poll several in turn. Shows the monitor.",
            "COMMAND" },
        { "every", "With --poll: a cycle every MS ms (default 1000; 0: as fast as replies come).",
            "MS" },
        { "count", "With --poll: this many cycles (default: until Stop).", "N" },
        { "record", "With --poll: append a CSV row per good reply of a read to FILE.", "FILE" },
    });
}

// The polling run's options: every command must parse and make a request.
QString readPoll(const QCommandLineParser& parser, StartOptions& start)
{
    // With a map, commands may name its registers: they are read once it is loaded.
    const bool named = parser.isSet("map") || parser.isSet("workspace");
    for (const QString& command : parser.values("poll")) {
        const modbus::ParsedRequest parsed = modbus::ParseRequest(command.toStdString());
        const std::string why
            = parsed.error.empty() ? modbus::BuildRequest(1, parsed.fields).notSent : parsed.error;
        if (!why.empty() && !named)
            return "--poll \"" + command + "\": " + QString::fromStdString(why);
        start.polls << command;
    }
    // Options that only shape a run do nothing without one: said, not ignored.
    for (const char* name : { "every", "count", "record" })
        if (start.polls.isEmpty() && parser.isSet(name))
            return QString("--") + name + " works with --poll only";
    bool ok = true;
    if (parser.isSet("every") && ((start.everyMs = parser.value("every").toInt(&ok)) < 0 || !ok))
        return "--every takes a number of milliseconds, 0 or more";
    if (parser.isSet("count") && ((start.count = parser.value("count").toInt(&ok)) < 0 || !ok))
        return "--count takes a number of cycles, 0 or more";
    start.record = parser.value("record");
    if (!start.polls.isEmpty())
        start.monitor = true;
    return {};
}

// The values of --speed, --parity and --stop-bits; the reason when one is not known.
QString readChoices(const QCommandLineParser& parser, StartOptions& start)
{
    if (parser.isSet("speed")) {
        const QString value = parser.value("speed");
        const auto* known = std::find_if(std::begin(window::kSpeeds), std::end(window::kSpeeds),
            [&](int bits) { return value == QString::number(bits); });
        if (known == std::end(window::kSpeeds))
            return "unknown speed \"" + value + "\": choose 9600, 19200 or 115200";
        start.speed = *known;
    }
    if (parser.isSet("echo")) {
        start.echo = modbus::EchoFromName(parser.value("echo").toStdString());
        if (!start.echo)
            return "unknown echo \"" + parser.value("echo") + "\": choose off, on or auto";
    }
    if (parser.isSet("parity")) {
        const QString value = parser.value("parity");
        if (value != "none" && value != "even" && value != "odd")
            return "unknown parity \"" + value + "\": choose none, even or odd";
        start.parity = value[0].toLatin1();
    }
    if (parser.isSet("stop-bits")) {
        const QString value = parser.value("stop-bits");
        if (value != "1" && value != "2")
            return "unknown stop bits \"" + value + "\": choose 1 or 2";
        start.stopBits = value.toInt();
    }
    return {};
}

} // namespace

CommandLine ParseCommandLine(const QStringList& args)
{
    QCommandLineParser parser;
    addOptions(parser);

    if (!parser.parse(withoutToolkitOptions(args)))
        return refuse(parser.errorText(), parser);
    if (!parser.positionalArguments().isEmpty())
        return refuse("unexpected argument: " + parser.positionalArguments().first(), parser);
    CommandLine line;
    if (parser.isSet("help") || parser.isSet("version")) {
        line.exitCode = 0;
        line.out = parser.isSet("help") ? usage(parser) : "quillet " QUILLET_VERSION "\n";
        return line;
    }
    if (const QString why = readChoices(parser, line.start); !why.isEmpty())
        return refuse(why, parser);
    if (const QString why = readPoll(parser, line.start); !why.isEmpty())
        return refuse(why, parser);
    line.start.map = parser.value("map");
    line.start.workspace = parser.value("workspace");
    line.start.lineGiven = parser.isSet("parity") || parser.isSet("stop-bits");
    line.start.monitor
        = line.start.monitor || parser.isSet("monitor") || !line.start.workspace.isEmpty();
    line.start.port = parser.value("port");
    line.start.listen = parser.isSet("listen");
    if (line.start.listen && !line.start.polls.isEmpty())
        return refuse("--listen never writes to the port: it cannot go with --poll", parser);
    line.start.open = parser.isSet("open") && !line.start.listen; // listening opens it
    line.start.monitor = line.start.monitor || line.start.listen;
    line.listPorts = parser.isSet("list-ports");
    return line;
}
