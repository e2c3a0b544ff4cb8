// The scan's plan: the order of settings, the probe's wait, the estimate, and what a probe's
// frames say.
#include "modbus/crc16.h"
#include "modbus/scan_plan.h"
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
    const std::tuple<int, std::optional<int>, std::int64_t> waits[] = {
        { 9600, std::nullopt, 100'000 },
        { 115200, std::nullopt, 100'000 },
        { 4800, std::nullopt, 20 * 11'000'000LL / 4800 + 50'000 }, // 20 characters + 50 ms
        { 1200, std::nullopt, 233'333 },
        { 9600, 250, 250'000 },
    };
    for (const auto& [speed, asked, us] : waits)
        EXPECT_EQ(ProbeTimeoutUs(speed, asked), us) << speed;
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

} // namespace
