// What the command line sets, and what it refuses before any window appears.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace {

CommandLine parse(QStringList args)
{
    args.prepend("quillet");
    return ParseCommandLine(args);
}

TEST(CommandLine, NoArgumentsLeaveTheWindowAsDesigned)
{
    const CommandLine line = parse({});
    EXPECT_FALSE(line.exitCode);
    EXPECT_FALSE(line.listPorts);
    EXPECT_TRUE(line.start.port.isEmpty());
    EXPECT_FALSE(line.start.speed);
    EXPECT_FALSE(line.start.open);
}

TEST(CommandLine, OptionsPresetPortSpeedAndOpen)
{
    const CommandLine line = parse({ "--port", "/dev/ttyUSB0", "--speed", "115200", "--open" });
    EXPECT_FALSE(line.exitCode);
    EXPECT_EQ(line.start.port, "/dev/ttyUSB0");
    EXPECT_EQ(line.start.speed, 115200);
    EXPECT_TRUE(line.start.open);
    EXPECT_EQ(parse({ "--port=COM3:" }).start.port, "COM3:");
    EXPECT_TRUE(parse({ "--list-ports" }).listPorts);
    const CommandLine line8o2 = parse({ "--monitor", "--parity", "odd", "--stop-bits", "2" });
    EXPECT_TRUE(line8o2.start.monitor);
    EXPECT_EQ(line8o2.start.parity, 'o');
    EXPECT_EQ(line8o2.start.stopBits, 2);
    EXPECT_EQ(parse({ "--parity=even" }).start.parity, 'e');
    EXPECT_EQ(parse({}).start.parity, 'n'); // the design's 8N1 unless asked
    EXPECT_EQ(parse({}).start.stopBits, 1);
    const CommandLine poll = parse({ "--port", "COM5", "--open", "--poll", "read-input 0 10",
        "--poll", "read-coils 0 16", "--every", "50", "--count", "3", "--record", "d.csv" });
    EXPECT_EQ(poll.start.polls, QStringList({ "read-input 0 10", "read-coils 0 16" }));
    EXPECT_EQ(std::tuple(poll.start.everyMs, poll.start.count, poll.start.monitor),
        std::tuple(50, 3, true));
    EXPECT_EQ(poll.start.record, "d.csv");
    // With a map or a workspace, a polled command may name a register: read once it is loaded.
    const CommandLine named
        = parse({ "--map", "m.csv", "--poll", "read temperature", "--workspace", "w.json" });
    EXPECT_FALSE(named.exitCode) << named.err.toStdString();
    EXPECT_EQ(std::tuple(named.start.map, named.start.workspace, named.start.monitor,
                  named.start.lineGiven),
        std::tuple(QString("m.csv"), QString("w.json"), true, false));
    EXPECT_EQ(parse({ "--poll", "read temperature" }).exitCode, 2) << "no map: not a command";
    const CommandLine listen = parse({ "--port", "COM5", "--listen", "--open" });
    EXPECT_EQ(std::tuple(listen.start.listen, listen.start.open, listen.start.monitor),
        std::tuple(true, false, true))
        << "listening opens the port itself, in the monitor";
    EXPECT_EQ(parse({ "--listen", "--poll", "read-input 0 1" }).exitCode, 2) << "a run writes";
}

TEST(CommandLine, TheToolkitsOwnOptionsAreLeftToTheToolkit)
{
    const QStringList cases[] = {
        { "-platform", "offscreen", "--port", "COM3:" }, { "-style", "fusion", "--port", "COM3:" },
        { "-style=fusion", "--port", "COM3:" }, { "--style", "windows", "--port", "COM3:" },
        { "--port", "COM3:", "-display", ":1", "-geometry", "+10+10", "-reverse" },
        { "-icon", "q.png", "-visual", "TrueColor", "-testability", "--port", "COM3:" },
        { "-qwindowtitle", "--port", "--port", "COM3:" }, // a value that looks like ours
    };
    for (const QStringList& args : cases) {
        const CommandLine line = parse(args);
        EXPECT_FALSE(line.exitCode) << args.join(' ').toStdString() << line.err.toStdString();
        EXPECT_EQ(line.start.port, "COM3:") << args.join(' ').toStdString();
    }
    EXPECT_EQ(
        parse({ "-platform" }).exitCode, std::nullopt); // the toolkit will say what is missing
    EXPECT_EQ(parse({ "-platformx", "y" }).exitCode, 2);
}

TEST(CommandLine, HelpAndVersionPrintAndExitZero)
{
    const CommandLine version = parse({ "--version" });
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("quillet ")) << version.out.toStdString();
    EXPECT_TRUE(version.err.isEmpty());
    const CommandLine help = parse({ "--help" });
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("Usage: quillet")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("--list-ports"));
}

TEST(CommandLine, MistakesExitTwoWithTheReasonAndTheUsage)
{
    const std::pair<QStringList, const char*> cases[] = {
        { { "--speed", "38400" }, "unknown speed \"38400\"" },
        { { "--speed", "fast" }, "unknown speed" },
        { { "--speed" }, "Missing value" },
        { { "--parity", "mark" }, "unknown parity \"mark\"" },
        { { "--stop-bits", "1.5" }, "unknown stop bits \"1.5\"" },
        { { "--bogus" }, "Unknown option 'bogus'" },
        { { "ttyUSB0" }, "unexpected argument: ttyUSB0" },
        { { "--poll", "read-input 0" }, "--poll \"read-input 0\": takes 2 arguments" },
        { { "--poll", "read-input 0 126" }, "the quantity of registers must be 1..125" },
        { { "--poll", "read-input 0 1", "--every", "-5" }, "--every takes a number" },
        { { "--every", "50" }, "--every works with --poll only" },
        { { "--echo", "maybe" }, "unknown echo \"maybe\": choose off, on or auto" },
        { { "--count", "3" }, "--count works with --poll only" },
        { { "--record", "d.csv" }, "--record works with --poll only" },
    };
    for (const auto& [args, why] : cases) {
        const CommandLine line = parse(args);
        EXPECT_EQ(line.exitCode, 2) << why;
        EXPECT_TRUE(line.err.contains(why)) << line.err.toStdString();
        EXPECT_TRUE(line.err.contains("Usage: quillet")) << why;
        EXPECT_TRUE(line.out.isEmpty()) << why;
    }
}

} // namespace
