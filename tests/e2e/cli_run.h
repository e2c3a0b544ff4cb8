// quillet-cli run from a test as a shell runs it: its exit status and what it printed.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

struct CliRun
{
    int status = -1;
    std::string out;
};

// A shell command's exit status and what it printed on stdout.
inline CliRun runShell(const std::string& command)
{
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// stderr is dropped unless asked for, then it follows stdout.
inline CliRun runCli(const std::string& arguments, bool withStderr = false)
{
    return runShell(
        std::string(QUILLET_CLI) + " " + arguments + (withStderr ? " 2>&1" : " 2>/dev/null"));
}

// A file in the test's temporary folder; its path.
inline std::string writeFile(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs(text.c_str(), f);
    std::fclose(f);
    return path;
}
