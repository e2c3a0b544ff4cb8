#include "wire_reader.h"

#include <chrono>

namespace cli {

WireReader::WireReader(const std::vector<Port*>& ports, std::function<std::int64_t()> clock)
    : clock_(std::move(clock))
{
    for (Port* port : ports)
        threads_.emplace_back([this, port] { hear(*port); });
}

WireReader::~WireReader()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    for (std::thread& thread : threads_)
        thread.join(); // each within its read's 100 ms
}

void WireReader::hear(Port& port)
{
    for (;;) {
        modbus::ByteString bytes = port.read(100'000);
        std::lock_guard lock(mutex_);
        if (!port.failure().empty() && failure_.empty())
            failure_ = port.failure();
        if (stopping_ || !failure_.empty())
            break;
        if (!bytes.empty()) {
            queue_.push_back({ std::move(bytes), clock_() });
            arrived_.notify_one();
        }
    }
    arrived_.notify_one();
}

std::vector<WireReader::Chunk> WireReader::take(std::int64_t waitUs, std::int64_t& quietUs)
{
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, std::chrono::microseconds(waitUs),
        [this] { return !queue_.empty() || !failure_.empty(); });
    std::vector<Chunk> chunks;
    chunks.swap(queue_);
    quietUs = clock_();
    return chunks;
}

std::string WireReader::failure() const
{
    std::lock_guard lock(mutex_);
    return failure_;
}

} // namespace cli
