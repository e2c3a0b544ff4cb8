// The scan's plan: the order of settings, the probe's wait, the estimate, and what a probe's
// frames say.
#include "modbus/crc16.h"
#include "modbus/mbap_frame.h"
#include "requests/request_language.h"
#include "runs/scan_plan.h"
#include "runs/scan_run.h"
#include "tests/support/byte_list.h"

#include <gtest/gtest.h>

using namespace modbus;

namespace {

std::vector<std::string> names(const std::vector<ScanSetting>& settings)
{
    std::vector<std::string> out;
    for (const ScanSetting& s : settings)
        out.push_back(s.name());
    return out;
}

TEST(ScanPlan, TheCommonestSettingsFirstThenTheRest)
{
    ScanOptions o;
    EXPECT_EQ(names(ScanOrder(o)),
        std::vector<std::string>(
            { "19200 8E1", "9600 8E1", "9600 8N1", "19200 8N1", "115200 8E1", "115200 8N1" }));
    o.speeds = { 1200, 9600 };
    o.parities = { 'n', 'o' };
    o.stopBits = { 1, 2 };
    EXPECT_EQ(names(ScanOrder(o)),
        std::vector<std::string>({ "9600 8N1", "1200 8N1", "1200 8N2", "1200 8O1", "1200 8O2",
            "9600 8N2", "9600 8O1", "9600 8O2" }));
}

TEST(ScanPlan, ProbeWaitsAndTheEstimate)
{
    // The wait a slow line needs: 20 characters of 11 bits and 50 ms, never under 100 ms.
    const std::tuple<int, std::optional<int>, std::int64_t> waits[] = {
        { 115200, std::nullopt, 100'000 },
        { 9600, std::nullopt, 100'000 },
        { 4800, std::nullopt, 100'000 }, // 95.8 ms would be less than at 9600
        { 2400, std::nullopt, 141'666 },
        { 1200, std::nullopt, 233'333 },
        { 9600, 250, 250'000 },
    };
    for (const auto& [speed, asked, us] : waits)
        EXPECT_EQ(ProbeTimeoutUs(speed, asked), us) << speed;
    // Each character takes longer on a slower line: its probe never waits less.
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_GE(ProbeTimeoutUs(std::get<0>(waits[i]), std::nullopt),
            ProbeTimeoutUs(std::get<0>(waits[i - 1]), std::nullopt));
    ScanOptions o;
    o.speeds = { 19200 };
    o.parities = { 'e' };
    // 247 probes of 8 bytes at 19200 bit/s (4.58 ms) and 100 ms each.
    EXPECT_EQ(ScanEstimateUs(o, 8), 247 * (8 * 11'000'000LL / 19200 + 100'000));
    o.firstAddress = 10;
    o.lastAddress = 9;
    EXPECT_EQ(ScanEstimateUs(o, 8), 0);
}

FrameRow row(RowKind kind, std::initializer_list<int> frame, const char* verdict)
{
    FrameRow r;
    r.kind = kind;
    r.bytes = bytes(frame);
    r.verdict = verdict;
    r.replyMs = kind == RowKind::OtherAddress ? std::nullopt : std::optional(12.0);
    return r;
}

TEST(ScanPlan, WhatAProbeFound)
{
    const FrameRow request = row(RowKind::Request, { 17, 3, 0, 0, 0, 1 }, "sent");
    const struct
    {
        const char* what;
        std::vector<FrameRow> rows;
        ProbeVerdict verdict;
        int address;
    } probes[] = {
        { "a good reply", { request, row(RowKind::Reply, { 17, 3, 2, 0, 10 }, "CRC OK") },
            ProbeVerdict::Found, 17 },
        { "an exception: a device is there",
            { request,
                row(RowKind::Exception, { 17, 0x83, 2 }, "exception 2 ILLEGAL DATA ADDRESS") },
            ProbeVerdict::Found, 17 },
        { "a late reply from the address probed before",
            { request, row(RowKind::OtherAddress, { 16, 3, 2, 0, 10 }, "reply from 16, asked 17") },
            ProbeVerdict::Found, 16 },
        { "bad check bytes: not found, but near",
            { request, row(RowKind::CrcBad, { 17, 3, 2, 0, 10 }, "CRC BAD (expected 00 00)") },
            ProbeVerdict::BadFrames, 17 },
        { "bytes that make no frame",
            { request, row(RowKind::NotFrame, { 0xFF, 0 }, "not a frame") },
            ProbeVerdict::BadFrames, 17 },
        { "silence", { request, row(RowKind::NoReply, {}, "no reply") }, ProbeVerdict::Nothing, 0 },
    };
    for (const auto& p : probes) {
        const ProbeResult r = JudgeProbe(p.rows, 17);
        EXPECT_EQ(r.verdict, p.verdict) << p.what;
        EXPECT_EQ(r.address, p.address) << p.what;
    }
    EXPECT_EQ(BadFramesNote({ 9600, 'n', 1 }),
        "something answers at 9600 8N1 (bad frames): the speed or parity is probably near");
}

ByteString framedReply(std::initializer_list<int> body)
{
    const ByteString b = bytes(body);
    return b + *CRC16(b);
}

// The monitor's way: a step at a time. Addresses 1..3 at 9600 8N1 then 19200 8N1; slave 2
// answers at 19200 only, and names itself.
// Addresses 1..3 at two speeds, the slave at 2 answering at 19200 only, in RTU or ASCII frames.
void scanThreeAddresses(Framing framing)
{
    ScanOptions o;
    o.firstAddress = 1;
    o.lastAddress = 3;
    o.speeds = { 9600, 19200 };
    o.parities = { 'n' };
    o.probe = ParseRequest("read-holding 0 1").fields;
    o.lineFraming = framing;
    ScanRun run(o, 0);
    std::int64_t ms = 0;
    std::vector<std::string> log;
    const WireFramer& wire = FramerOf(framing);
    const auto onWire
        = [&](const ByteString& rtu) { return wire.wrap(rtu.substr(0, rtu.size() - 2)); };
    const ByteString id = onWire(framedReply({ 2, 0x2B, 0x0E, 1, 1, 0, 0, 1, 0, 2, 'Q', 'S' }));
    const ByteString serverId = onWire(framedReply({ 2, 0x11, 2, 'Q', 'L' }));
    while (run.need() != ScanRun::Need::Done && log.size() < 40) {
        const LineTime at { ms * 1000, ms };
        switch (run.need()) {
        case ScanRun::Need::Open:
            log.push_back("open " + run.setting().name());
            run.opened(true);
            break;
        case ScanRun::Need::Send: {
            const ByteString frame = wire.cut(run.frame(), true, Sender::Master).adu;
            log.push_back(HexBytes(frame.substr(0, 2)));
            run.sent(int(run.frame().size()), at);
            // The slave at 2 answers at 19200 only: a register read, then its identification.
            const bool answers = run.setting().speed == 19200 && ByteAt(frame, 0) == 2;
            ms += 5;
            run.read(!answers                  ? ByteString()
                    : ByteAt(frame, 1) == 3    ? onWire(framedReply({ 2, 3, 2, 0, 10 }))
                    : ByteAt(frame, 1) == 0x11 ? serverId
                                               : id,
                { ms * 1000, ms });
            break;
        }
        default:
            ms += run.readWaitUs(ms * 1000) / 1000 + 1;
            run.read({}, { ms * 1000, ms });
        }
    }
    EXPECT_EQ(log,
        std::vector<std::string>({ "open 9600 8N1", "01 03", "02 03", "03 03", "open 19200 8N1",
            "01 03", "02 03", "02 2B", "02 11" }));
    ASSERT_EQ(run.hits().size(), 1u) << FramingWord(framing);
    EXPECT_EQ(run.hits()[0].address, 2);
    EXPECT_EQ(run.hits()[0].setting.name(), "19200 8N1");
    EXPECT_EQ(run.hits()[0].identification, "VendorName QS; server id QL") << "both asked";
    EXPECT_DOUBLE_EQ(run.fraction(), 5.0 / 6.0) << "stopped at the first device";
}

TEST(ScanRun, StepsThroughSettingsAndAddressesAndIdentifiesWhatItFinds)
{
    for (const Framing framing : { Framing::Rtu, Framing::Ascii })
        scanThreeAddresses(framing);
}

// Over Modbus TCP: unit ids only (0, a broadcast, not probed), one setting with no speed, and
// a reply that comes late, under the previous probe's transaction id, finds the unit it names,
// never the one asked.
TEST(ScanRun, OverModbusTcpUnitIdsOnlyAndALateReplyFindsItsOwnUnit)
{
    ScanOptions o;
    o.firstAddress = 0;
    o.lastAddress = 3;
    o.network = Framing::MbapStream;
    o.probe = ParseRequest("read-holding 0 1").fields;
    ScanRun run(o, 0);
    EXPECT_EQ(run.notes(),
        std::vector<std::string> { "address 0 is a broadcast, which nobody answers: not probed" });
    std::int64_t ms = 0;
    std::vector<std::string> log;
    ByteString held; // unit 1's reply, sent while unit 2 is asked
    while (run.need() != ScanRun::Need::Done && log.size() < 20) {
        if (run.need() == ScanRun::Need::Open) {
            log.push_back("open " + run.setting().name());
            run.opened(true);
            continue;
        }
        if (run.need() == ScanRun::Need::Send) {
            const MbapFrame f = ReadMbapDatagram(run.frame()).frame;
            log.push_back(
                "unit " + std::to_string(f.unit) + " tid " + std::to_string(f.transaction));
            run.sent(int(run.frame().size()), { ms * 1000, ms });
            const ByteString reply = f.pdu[0] == 3
                ? BuildMbap({ f.transaction, f.unit, bytes({ 3, 2, 0, 10 }) })
                : ByteString();
            ms += 5;
            if (f.unit == 1)
                held = reply;
            run.read(f.unit == 2 ? held : f.unit == 3 ? reply : ByteString(), { ms * 1000, ms });
            continue;
        }
        ms += run.readWaitUs(ms * 1000) / 1000 + 1;
        run.read({}, { ms * 1000, ms });
    }
    EXPECT_EQ(log,
        std::vector<std::string>(
            { "open network", "unit 1 tid 1", "unit 2 tid 2", "unit 1 tid 3", "unit 1 tid 4" }));
    ASSERT_EQ(run.hits().size(), 1u);
    EXPECT_EQ(run.hits()[0].address, 1);
    EXPECT_EQ(run.hits()[0].verdict, "late reply: transaction 1, awaited 2");
    EXPECT_EQ(ProbeTimeoutUs(0, std::nullopt), 500'000) << "a gateway's serial side in it";
}

} // namespace
