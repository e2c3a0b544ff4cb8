// The session log's file calls, the same on every platform.
#include "logfile/log_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

class LogFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir = fs::temp_directory_path() / ("quillet-log-" + std::to_string(stamp));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    }

    fs::path dir;
};

TEST_F(LogFile, AppendsAcrossOpensAndKeepsEveryByte)
{
    const fs::path path = dir / "Quillet_log_COM5.txt";
    std::string bytes = "head\r\n";
    for (int b = 0; b < 256; ++b)
        bytes.push_back(char(b));
    for (int round = 0; round < 2; ++round) {
        const logfile::Opened log = logfile::OpenAppend(path.string());
        ASSERT_EQ(log.error, 0) << logfile::ErrorText(log.error);
        EXPECT_EQ(logfile::Write(log.file, bytes), 0);
        EXPECT_EQ(logfile::Write(log.file, ""), 0);
        logfile::Close(log.file);
    }
    EXPECT_EQ(read(path), bytes + bytes);
}

TEST_F(LogFile, FailuresGiveTheSystemsCodeAndWords)
{
    const logfile::Opened missing = logfile::OpenAppend((dir / "no" / "such.txt").string());
    EXPECT_EQ(missing.file, logfile::kNoFile);
    EXPECT_NE(missing.error, 0);
    EXPECT_FALSE(logfile::ErrorText(missing.error).empty());
    const logfile::Opened folder = logfile::OpenAppend(dir.string());
    EXPECT_NE(folder.error, 0) << "a folder opened as a log";
    EXPECT_NE(logfile::NotOpenError(), 0);
    EXPECT_FALSE(logfile::ErrorText(logfile::NotOpenError()).empty());
}

} // namespace
