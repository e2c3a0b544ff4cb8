// A program a test starts through the shell, its standard output read line by line, ended with
// the test. The shell's pid comes first: exec makes it the program's.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

class StartedProgram
{
public:
    explicit StartedProgram(const std::string& command)
        : pipe_(popen(("echo $$; exec " + command + " 2>/dev/null").c_str(), "r"))
    {
        pid_ = std::atoi(line().c_str());
    }
    ~StartedProgram()
    {
        if (pid_ > 0)
            kill(pid_, SIGTERM);
        if (pipe_)
            pclose(pipe_);
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // Its next line of output, without the line end; empty once it has no more.
    std::string line()
    {
        char text[256] = {};
        if (!pipe_ || !std::fgets(text, sizeof text, pipe_))
            return {};
        return std::string(text, std::strcspn(text, "\n"));
    }

private:
    FILE* pipe_;
    int pid_ = 0;
};

inline bool PymodbusMissing()
{
    return std::system("/usr/bin/python3 -c 'import pymodbus.server' 2>/dev/null") != 0;
}
