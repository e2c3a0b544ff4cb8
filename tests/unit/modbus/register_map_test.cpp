// Register maps as device manuals give them: every column, the manuals' 30001/40001 numbers, and
// each refusal named by its line.
#include "modbus/register_map.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

TEST(RegisterMap, RowsOfEveryKindAndTheManualsNumbers)
{
    const RegisterMap map
        = ReadRegisterMap("# demo slave\n"
                          "Table;Address;Name;Type;Order;Scale;Offset;Unit;Enum;Description\n"
                          "input;30012;temperature;s16;;0.1;;°C;;board temperature\n"
                          "holding;4x0101;setpoint;f32;CDAB;;;°C;;\n"
                          "holding;7;mode;u16;;;;;0=off|1=on|2=fault;\n"
                          "holding;20;serial;string4;;;;;;\n"
                          "coil;00001;pump;;;;;;\"0=stopped;1=running\";\n"
                          "discrete;5;door;bool;;;;;;\n"
                          "holding;40;energy;u64;DCBA;0.001;-5;kWh;;\n");
    EXPECT_EQ(map.refused, std::vector<std::string>());
    ASSERT_EQ(map.entries.size(), 7u);
    const MapEntry& t = map.entries[0];
    EXPECT_EQ(std::tuple(t.line, t.table, t.address, t.name, t.type, t.scale, t.unit),
        std::tuple(3, DataTable::InputRegisters, 11u, std::string("temperature"), ValueType::S16,
            0.1, std::string("°C")));
    EXPECT_EQ(std::tuple(map.entries[1].address, map.entries[1].count(), *map.entries[1].order),
        std::tuple(100u, 2u, WordOrder::CDAB));
    EXPECT_EQ(map.entries[2].names,
        (std::vector<std::pair<long, std::string>> { { 0, "off" }, { 1, "on" }, { 2, "fault" } }));
    EXPECT_EQ(map.entries[3].count(), 4u);
    EXPECT_EQ(std::tuple(map.entries[4].table, map.entries[4].address, map.entries[4].type),
        std::tuple(DataTable::Coils, 0u, ValueType::Bool));
    EXPECT_EQ(map.entries[4].names.size(), 2u) << "a quoted field holds the separator";
    EXPECT_EQ(std::tuple(map.entries[6].count(), map.entries[6].offset), std::tuple(4u, -5.0));
}

TEST(RegisterMap, AddressesAsManualsWriteThem)
{
    const std::tuple<const char*, DataTable, std::optional<unsigned>> cases[] = {
        { "0", DataTable::Holding, 0u },
        { "40001", DataTable::Holding, 0u },
        { "400001", DataTable::Holding, 0u },
        { "4x0010", DataTable::Holding, 9u },
        { "30012", DataTable::InputRegisters, 11u },
        { "30012", DataTable::Holding, 30012u }, // another table's digit: a plain number
        { "10005", DataTable::Inputs, 4u },
        { "00017", DataTable::Coils, 16u },
        { "40000", DataTable::Holding, std::nullopt }, // references count from 1
        { "70000", DataTable::Holding, std::nullopt },
        { "12a", DataTable::Holding, std::nullopt },
    };
    for (const auto& [text, table, address] : cases)
        EXPECT_EQ(MapAddress(text, table), address) << text;
}

TEST(RegisterMap, EachRefusalNamesItsLineAndTheRestLoads)
{
    const RegisterMap map = ReadRegisterMap("table,address,name,type,order,scale\n"
                                            "holding,0,a,u16\n"
                                            "pipe,1,b,u16\n"
                                            "holding,x,c,u16\n"
                                            "holding,2,,u16\n"
                                            "holding,3,d,u17\n"
                                            "coil,4,e,u16\n"
                                            "holding,5,f,u16,CDAB\n"
                                            "holding,6,g,u16,,0\n"
                                            "holding,65535,h,u32\n"
                                            "holding,0,i,u16\n"
                                            "holding,10,a,u16\n"
                                            "holding,11,j,f32,ABCD\n");
    EXPECT_EQ(map.refused,
        std::vector<std::string>(
            { "line 3: unknown table \"pipe\": coil, discrete, holding or input",
                "line 4: cannot read the address \"x\"", "line 5: no name",
                "line 6: the type \"u17\" does not fit a holding",
                "line 7: the type \"u16\" does not fit a coil",
                "line 8: a word order applies to 32- and 64-bit types only",
                "line 9: the scale must be a number other than 0, the offset a number",
                "line 10: it runs past address 65535", "line 11: overlaps \"a\" (line 2)",
                "line 12: the name \"a\" is taken (line 2)" }));
    ASSERT_EQ(map.entries.size(), 2u);
    EXPECT_EQ(map.entries[1].name, "j");
    EXPECT_EQ(ReadRegisterMap("address,name\n0,x\n").refused,
        std::vector<std::string>(
            { "line 1: the header must name the columns table, address and name" }));
}

} // namespace
