// Google Benchmark: the pure per-request and per-reply work.
#include "modbus/crc16.h"
#include "modbus/reply_display.h"
#include "modbus/request_frames.h"

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

BENCHMARK_MAIN();
