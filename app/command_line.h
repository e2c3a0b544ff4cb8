// The command line: options only pre-set what a user would otherwise type or click.
#pragma once

#include <QString>
#include <QStringList>

#include "modbus/echo_mode.h"

#include <optional>

struct StartOptions
{
    QString port; // empty: the window's own start text
    std::optional<int> speed;
    bool open = false;
    bool monitor = false; // the line monitor shown at start
    bool listen = false; // the port opened and listened to, never written
    char parity = 'n'; // 'n', 'e' or 'o'
    int stopBits = 1;
    bool lineGiven = false; // --parity or --stop-bits: over a workspace's line
    std::optional<modbus::EchoMode> echo; // --echo: the monitor's setting, over a workspace's
    QString map; // a register map for the monitor
    QString workspace; // opened at start; options given win over what it holds
    // A polling run started once the port is open: its commands in the request language.
    QStringList polls;
    int everyMs = 1000;
    int count = 0; // 0: until Stop
    QString record; // the data log's file; empty: none
};

struct CommandLine
{
    // Set when the program is done before any window: print out and err, exit with exitCode.
    std::optional<int> exitCode;
    QString out;
    QString err;
    bool listPorts = false;
    StartOptions start;
};

// args includes the program name first, as QCoreApplication::arguments() gives it.
CommandLine ParseCommandLine(const QStringList& args);
