// Workspaces: what is saved opens as it was, a partial file holds only its parts, a newer file
// opens with notices, a bad one is refused by line, and the map's path follows the workspace.
#include "benchfiles/workspace.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

TEST(Workspace, RoundTripsAndOpensOnlyWhatItHolds)
{
    const Workspace full { "/dev/ttyUSB0", 19200, 'e', 2, EchoMode::On, 17, "read temperature",
        std::vector<std::string> { "read-input 0 10", "read-holding 100 2" }, 250, 40, 300, 150,
        "maps/demo slave.csv", WordOrder::CDAB, 250, 7, Framing::Ascii };
    const OpenedWorkspace opened = ReadWorkspace(WriteWorkspace(full));
    EXPECT_EQ(opened.refused, std::vector<std::string>());
    EXPECT_EQ(opened.notices, std::vector<std::string>());
    EXPECT_TRUE(opened.workspace == full);

    Workspace partial;
    partial.slave = 3;
    EXPECT_EQ(WriteWorkspace(partial),
        "{\n  \"format\": \"quillet-workspace\",\n  \"version\": 1,\n  \"slave\": 3\n}\n");
    EXPECT_TRUE(ReadWorkspace(WriteWorkspace(partial)).workspace == partial);
}

TEST(Workspace, NewerFilesOpenWithNoticesAndBadOnesAreRefusedByLine)
{
    const OpenedWorkspace newer = ReadWorkspace("{\n"
                                                "  \"version\": 2,\n"
                                                "  \"slave\": 5,\n"
                                                "  \"colour\": \"blue\",\n"
                                                "  \"line\": { \"speed\": 9600, \"flow\": 1 }\n"
                                                "}\n");
    EXPECT_EQ(newer.refused, std::vector<std::string>());
    EXPECT_EQ(newer.notices,
        std::vector<std::string>(
            { "line 2: written by a newer version; what this one does not know is left out",
                "line 4: \"colour\" is not known to this version and is left out",
                "line 5: \"line.flow\" is not known to this version and is left out" }));
    EXPECT_EQ(std::tuple(newer.workspace.slave, newer.workspace.speed),
        std::tuple(std::optional(5), std::optional(9600)));

    const std::pair<const char*, const char*> bad[] = {
        { "{\n \"slave\": 300\n}", "line 2: the slave address or unit id must be 0..255" },
        { "{\n\n \"line\": { \"parity\": \"mark\" }}",
            "line 3: the parity must be \"none\", "
            "\"even\" or \"odd\"" },
        { "{ \"requests\": [1, 2] }", "line 1: the requests must be a list of commands" },
        { "{ \"poll\": 5 }", "line 1: \"poll\" must be an object" },
        { "{\n \"port\": \"COM5\",\n \"wordOrder\": \"ACBD\" }",
            "line 3: the word order must be ABCD, CDAB, BADC or DCBA" },
        { "[1, 2]", "line 1: a workspace is a JSON object" },
        { "{\n \"line\": { \"speed\": 1234 } }",
            "line 2: the speed must be one of 1200, 2400, 4800, 9600, 19200, 38400, 57600, "
            "115200 and 230400" },
        { "{ \"line\": { \"framing\": \"hex\" } }",
            "line 1: the framing must be \"rtu\" or \"ascii\"" },
        { "{ \"line\": { \"dataBits\": 6 } }", "line 1: the data bits must be 7 or 8" },
        { "{ \"line\": { \"echo\": \"yes\" } }",
            "line 1: the echo must be \"off\", \"on\" or \"auto\"" },
        { "{\n \"slave\": 1,\n \"port\" COM5 }",
            "line 3: not JSON: invalid literal; last read: '\"port\" C'; expected ':'" },
        { "", "line 1: not JSON: unexpected end of input; expected '[', '{', or a literal" },
        { "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]",
            "line 1: nested deeper than a workspace ever is" },
    };
    for (const auto& [text, why] : bad) {
        const OpenedWorkspace opened = ReadWorkspace(text);
        EXPECT_EQ(opened.refused, std::vector<std::string>({ why })) << text;
        EXPECT_TRUE(opened.workspace == Workspace {}) << "a refused file changes nothing: " << text;
    }
}

TEST(Workspace, TheMapsPathIsRelativeWhenNearTheWorkspace)
{
#ifdef _WIN32
    const std::string root = "C:"; // a path is absolute there with its drive
#else
    const std::string root;
#endif
    const std::tuple<std::string, std::string> cases[] = {
        { "/bench/demo/map.csv", "map.csv" },
        { "/bench/demo/maps/map.csv", "maps/map.csv" },
        { "/bench/other/map.csv", root + "/bench/other/map.csv" },
    };
    const std::string workspace = root + "/bench/demo/demo.quillet.json";
    for (const auto& [map, written] : cases) {
        EXPECT_EQ(MapPathForWorkspace(root + map, workspace), written) << map;
        EXPECT_EQ(MapPathFromWorkspace(written, workspace), root + map) << written;
    }
}

} // namespace
