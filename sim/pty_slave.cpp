#include "pty_slave.h"

#include <modbus/modbus.h>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtySlave::PtySlave(int address, int registerCount)
{
    char name[128] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
        return;
    path_ = name;
    termios tio {};
    tcgetattr(slave_, &tio);
    cfmakeraw(&tio);
    tcsetattr(slave_, TCSANOW, &tio);
    // libmodbus talks straight to the pty master: it needs no device path of its own.
    modbus_t* ctx = modbus_new_rtu("/dev/null", 19200, 'N', 8, 1);
    map_ = modbus_mapping_new(0, 0, registerCount, 0);
    if (!ctx || !map_ || modbus_set_slave(ctx, address) != 0
        || modbus_set_socket(ctx, master_) != 0) {
        if (ctx)
            modbus_free(ctx);
        return;
    }
    ctx_ = ctx;
}

PtySlave::~PtySlave()
{
    if (ctx_)
        modbus_free(ctx_);
    if (map_)
        modbus_mapping_free(map_);
    if (slave_ >= 0)
        close(slave_);
    if (master_ >= 0)
        close(master_);
}

std::uint16_t* PtySlave::registers() { return map_->tab_registers; }

std::string PtySlave::serveOnce(int timeoutMs)
{
    modbus_set_indication_timeout(
        ctx_, std::uint32_t(timeoutMs / 1000), std::uint32_t(timeoutMs % 1000) * 1000);
    std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    const int rc = modbus_receive(ctx_, query);
    if (rc <= 0)
        return {};
    modbus_reply(ctx_, query, rc, map_);
    return std::string(reinterpret_cast<const char*>(query), std::size_t(rc));
}
