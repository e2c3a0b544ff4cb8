// Register maps as device manuals give them: every column, the manuals' 30001/40001 numbers, and
// each refusal named by its line.
#include "benchfiles/map_values.h"
#include "benchfiles/named_request.h"
#include "benchfiles/register_map.h"

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
    // A spreadsheet's byte-order mark and comments before the header: lines counted as written.
    const RegisterMap map = ReadRegisterMap("\xEF\xBB\xBF# exported\n"
                                            "table,address,name,type,order,scale,offset\n"
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
                                            "holding,11,j,f32,ABCD\n"
                                            "holding,13,A,u16\n"
                                            "holding,14,k,u16,,inf\n"
                                            "holding,15,l,u16,,,nan\n"
                                            "holding,12,m,u16\n");
    EXPECT_EQ(map.refused,
        std::vector<std::string>(
            { "line 4: unknown table \"pipe\": coil, discrete, holding or input",
                "line 5: cannot read the address \"x\"", "line 6: no name",
                "line 7: the type \"u17\" is not one for table holding",
                "line 8: the type \"u16\" is not one for table coil",
                "line 9: a word order applies to 32- and 64-bit types only",
                "line 10: the scale must be a number other than 0, the offset a number",
                "line 11: it runs past address 65535",
                "line 16: the scale must be a number other than 0, the offset a number",
                "line 17: the scale must be a number other than 0, the offset a number",
                "line 12: overlaps \"a\" (line 3)", "line 13: the name \"a\" is taken (line 3)",
                "line 15: the name \"A\" is taken (line 3)",
                "line 18: overlaps \"j\" (line 14)" }));
    ASSERT_EQ(map.entries.size(), 2u);
    EXPECT_EQ(map.entries[1].name, "j");
    // Start values for a simulated slave: a number in engineering units, or one of the names.
    const RegisterMap valued = ReadRegisterMap("table,address,name,type,scale,enum,value\n"
                                               "holding,0,a,u16,0.1,,21.5\n"
                                               "holding,1,b,u16,,0=off;1=on,on\n"
                                               "holding,2,c,string2,,,x\n"
                                               "holding,4,d,u16,,,many\n"
                                               "holding,5,e,u16\n");
    EXPECT_EQ(valued.refused,
        std::vector<std::string>(
            { "line 4: the value \"x\" is not a number or one of the entry's names",
                "line 5: the value \"many\" is not a number or one of the entry's names" }));
    ASSERT_EQ(valued.entries.size(), 3u);
    EXPECT_EQ(valued.entries[0].value, 21.5);
    EXPECT_EQ(valued.entries[1].value, 1.0);
    EXPECT_EQ(valued.entries[2].value, std::nullopt);
    EXPECT_EQ(ReadRegisterMap("# no table\naddress,name\n0,x\n").refused,
        std::vector<std::string>(
            { "line 2: the header must name the columns table, address and name" }));
}

} // namespace

namespace {

MapEntry entry(ValueType type, std::optional<WordOrder> order = {}, double scale = 1,
    double offset = 0, std::string unit = {})
{
    MapEntry e;
    e.type = type;
    e.length = 2;
    e.order = order;
    e.scale = scale;
    e.offset = offset;
    e.unit = std::move(unit);
    return e;
}

TEST(MapValues, WorkedValuesInEveryOrder)
{
    using W = std::vector<std::uint16_t>;
    const struct
    {
        MapEntry e;
        W words;
        const char* text;
    } cases[] = {
        { entry(ValueType::S16, {}, 0.1, 0, "°C"), { 0xFF16 }, "-23.4 °C" },
        { entry(ValueType::U16, {}, 1, -40), { 100 }, "60" },
        { entry(ValueType::F32), { 0x4049, 0x0FDB }, "3.1415927" },
        { entry(ValueType::F32, WordOrder::CDAB), { 0x0FDB, 0x4049 }, "3.1415927" },
        { entry(ValueType::F32, WordOrder::BADC), { 0x4940, 0xDB0F }, "3.1415927" },
        { entry(ValueType::F32, WordOrder::DCBA), { 0xDB0F, 0x4940 }, "3.1415927" },
        { entry(ValueType::U32), { 0x0001, 0x0002 }, "65538" },
        { entry(ValueType::S32, WordOrder::CDAB), { 0xFFFE, 0xFFFF }, "-2" },
        { entry(ValueType::U64, WordOrder::DCBA), { 0x0100, 0, 0, 0 }, "1" },
        { entry(ValueType::F64), { 0x4009, 0x21FB, 0x5444, 0x2D18 }, "3.14159265358979" },
        { entry(ValueType::String), { 0x5153, 0x494D }, "QSIM" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(EngineeringText(c.e, c.words, WordOrder::ABCD), c.text) << c.text;
    MapEntry mode = entry(ValueType::U16);
    mode.names = { { 0, "off" }, { 1, "on" } };
    EXPECT_EQ(EngineeringText(mode, W { 1 }, WordOrder::ABCD), "on");
    EXPECT_EQ(EngineeringText(mode, W { 7 }, WordOrder::ABCD), "7");
    // The monitor's order applies where the map names none.
    EXPECT_EQ(EngineeringText(entry(ValueType::U32), W { 2, 0 }, WordOrder::CDAB), "2");
}

TEST(MapValues, AReadsValuesByTheirMappedAddresses)
{
    const RegisterMap map = ReadRegisterMap("table,address,name,type,scale,unit\n"
                                            "input,1,level,f32,,m\n" // at an odd offset
                                            "input,0,supply,u16,0.001,V\n"
                                            "input,3,cut,u32,,\n" // runs past the read
                                            "holding,1,other,u16,,\n");
    const ReadValues read { 1, 4, DataTable::InputRegisters, 0, { 1000, 0x4049, 0x0FDB, 7 } };
    const std::vector<MappedValue> values = MappedValues(map, read, WordOrder::ABCD);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(std::tuple(values[0].entry->name, values[0].text),
        std::tuple(std::string("level"), std::string("3.1415927 m")));
    EXPECT_EQ(values[0].raw, (std::vector<std::uint16_t> { 0x4049, 0x0FDB }));
    EXPECT_EQ(values[1].text, "1 V");
}

TEST(MapValues, EngineeringValuesBackToRegisters)
{
    const struct
    {
        MapEntry e;
        double value;
        std::optional<std::vector<std::uint16_t>> words;
    } cases[] = {
        { entry(ValueType::S16, {}, 0.1), 21.5, std::vector<std::uint16_t> { 215 } },
        { entry(ValueType::S16, {}, 0.1), -23.4, std::vector<std::uint16_t> { 0xFF16 } },
        { entry(ValueType::U16, {}, 1, -40), 60, std::vector<std::uint16_t> { 100 } },
        { entry(ValueType::F32, WordOrder::CDAB), 3.1415927,
            std::vector<std::uint16_t> { 0x0FDB, 0x4049 } },
        { entry(ValueType::U32, WordOrder::DCBA), 65538,
            std::vector<std::uint16_t> { 0x0200, 0x0100 } },
        { entry(ValueType::S16), 40000, std::nullopt },
        { entry(ValueType::U16), -1, std::nullopt },
        { entry(ValueType::Bool), 2, std::nullopt },
        { entry(ValueType::String), 1, std::nullopt },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RawFromEngineering(c.e, c.value, WordOrder::ABCD), c.words) << c.value;
        if (c.words) { // and back again
            EXPECT_NEAR(*EngineeringValue(c.e, *c.words, WordOrder::ABCD), c.value, 1e-6)
                << c.value;
        }
    }
}

// Names in commands: reads of the entry's registers, writes in engineering units or names.
TEST(NamedRequests, NamesBecomeAddressesAndEngineeringValuesRegisters)
{
    const RegisterMap map = ReadRegisterMap("table,address,name,type,order,scale,offset,unit,enum\n"
                                            "input,30012,temperature,s16,,0.1,,°C,\n"
                                            "holding,10,setpoint,s16,,0.1,,°C,\n"
                                            "holding,100,flow,f32,CDAB,,,m3/h,\n"
                                            "holding,7,mode,u16,,,,,0=off;1=on;2=fault\n"
                                            "coil,3,pump,bool,,,,,\n"
                                            "holding,20,Room temp,u16,,,,,\n");
    ASSERT_EQ(map.refused, std::vector<std::string>());
    const std::pair<const char*, const char*> cases[] = {
        { "read temperature", "read-input 11 1" },
        { "read-input temperature", "read-input 11 1" },
        { "read FLOW", "read-holding 100 2" },
        { "read room temp", "read-holding 20 1" },
        { "setpoint = 21.5", "write-register 10 215" },
        { "setpoint=-23.4", "write-register 10 65302" },
        { "write setpoint 21.5", "write-register 10 215" },
        { "write-register setpoint 21.5", "write-register 10 215" },
        { "flow = 3.1415927", "write-registers 100 4059 16457" },
        { "mode = fault", "write-register 7 2" },
        { "pump = 1", "write-coil 3 1" },
        { "read-holding 0 2", "read-holding 0 2" }, // numbers as before
        { "read-holding temperature", "temperature is an input register, not for read-holding" },
        { "temperature = 5", "temperature is an input register: it cannot be written" },
        { "setpoint = 4000", "4000 does not fit setpoint" },
        { "mode = broken", "not a value for mode: \"broken\"" },
        { "read pressure", "no register named \"pressure\" in the map" },
        { "read-holding pressure 2", "not a number: \"pressure\" (read-holding START COUNT)" },
    };
    for (const auto& [command, expected] : cases) {
        const NamedRequest named = ParseNamedRequest(command, map, WordOrder::ABCD);
        EXPECT_EQ(
            named.parsed.error.empty() ? PrintRequest(named.parsed.fields) : named.parsed.error,
            expected)
            << command;
    }
    EXPECT_EQ(ParseNamedRequest("read temperature", map, WordOrder::ABCD).entry, &map.entries[0]);
}

} // namespace
