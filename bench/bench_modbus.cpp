// Google Benchmark: the pure per-request and per-reply work.
#include "benchfiles/register_map.h"
#include "exchange/exchange.h"
#include "listening/line_listener.h"
#include "modbus/crc16.h"
#include "modbus/reply_display.h"
#include "requests/request_frames.h"
#include "serial/line_timing.h"

#include <string>

#include <benchmark/benchmark.h>

static void Crc16OfARequest(benchmark::State& state)
{
    const modbus::ByteString frame("\x30\x10\x00\x00\x00\x01\x02\x00\x00", 9);
    for (auto _ : state)
        benchmark::DoNotOptimize(modbus::CRC16(frame));
}
BENCHMARK(Crc16OfARequest);

static void Crc16OfTheLongestFreeText(benchmark::State& state)
{
    const modbus::ByteString text(modbus::kCrcMaxLength, 'x');
    for (auto _ : state)
        benchmark::DoNotOptimize(modbus::CRC16(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(Crc16OfTheLongestFreeText);

static void ClassifyReadReply(benchmark::State& state)
{
    const modbus::ByteString chunk("\x30\x03\x02\x00\x0A\x45\x87", 7);
    for (auto _ : state)
        benchmark::DoNotOptimize(modbus::ClassifyReply(chunk, 48));
}
BENCHMARK(ClassifyReadReply);

static void ClassifyRawChunkOf255(benchmark::State& state)
{
    modbus::ByteString chunk;
    for (int i = 0; i < 255; ++i)
        chunk.push_back(char(i));
    for (auto _ : state)
        benchmark::DoNotOptimize(modbus::ClassifyReply(chunk, 48));
}
BENCHMARK(ClassifyRawChunkOf255);

static void BuildWriteSingleRequest(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(
            modbus::WriteSingleRequest("48", { "Address param", "258" }, { "Data", "1000" }));
}
BENCHMARK(BuildWriteSingleRequest);

// One exchange on a session's analysis: the request written, its reply read and judged (held
// against the request, check bytes verified), the rows taken. The cost per frame of a poll.
static void ExchangeOfAReadReply(benchmark::State& state)
{
    const modbus::ByteString request("\x30\x03\x00\x00\x00\x01\x80\x2B", 8);
    const modbus::ByteString reply("\x30\x03\x02\x00\x0A\x45\x87", 7);
    const modbus::ExchangeTiming timing { 1'000'000, 100'000, 87, 20'000 };
    modbus::FrameAnalyzer line("115200 8N1");
    std::int64_t us = 0;
    for (auto _ : state) {
        modbus::Exchange exchange(line, request, 8, timing, { us, 0 });
        exchange.read(reply, { us + 5'000, 0 });
        benchmark::DoNotOptimize(exchange.good());
        us += 10'000;
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2); // a request and its reply
}
BENCHMARK(ExchangeOfAReadReply);

// A register map of 120,000 rows (about 3 MB, well under the 16 MiB a file may hold): its
// overlap and name checks must not grow with the square of its rows.
static void ReadAMapOf120000Rows(benchmark::State& state)
{
    std::string text = "table,address,name,type\n";
    for (int i = 0; i < 120'000; ++i)
        text += (i % 2 ? "holding," : "input,") + std::to_string(i / 2) + ",r" + std::to_string(i)
            + ",u16\n";
    for (auto _ : state)
        benchmark::DoNotOptimize(modbus::ReadRegisterMap(text).entries.size());
    state.SetItemsProcessed(int64_t(state.iterations()) * 120'000);
}
BENCHMARK(ReadAMapOf120000Rows)->Unit(benchmark::kMillisecond);

// Listening: 1,000 read-holding exchanges (8 + 9 bytes) at 115200 bit/s, heard in a USB
// adapter's 16 ms slices; frames a second the listener keeps up with.
static void ListenToAPolledLine(benchmark::State& state)
{
    const modbus::ByteString request("\x30\x03\x00\x00\x00\x02\xC0\x2A", 8);
    const modbus::ByteString reply("\x30\x03\x04\x00\x0A\x00\x14\xFA\xFD", 9);
    modbus::ByteString line;
    for (int i = 0; i < 1000; ++i)
        line += request + reply;
    const std::int64_t charUs = modbus::CharacterUs(115200, 'n', 1);
    for (auto _ : state) {
        modbus::LineListener listener(charUs, 1750);
        for (std::size_t at = 0; at < line.size(); at += 184)
            listener.read(line.substr(at, 184), std::int64_t(at + 184) * charUs);
        listener.finish(std::int64_t(line.size() + 200) * charUs);
        benchmark::DoNotOptimize(listener.take());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * 2000); // frames
}
BENCHMARK(ListenToAPolledLine)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
