// The bash completion and the man page list the commands the table of functions knows: a
// function added to the table and not to them fails here.
#include "modbus/function_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The words of the completion's command list, between `commands="` and its closing quote.
std::set<std::string> completionCommands(const std::string& script)
{
    const std::size_t from = script.find("commands=\"") + 10;
    std::istringstream words(script.substr(from, script.find('"', from) - from));
    std::set<std::string> out;
    for (std::string w; words >> w;)
        out.insert(w);
    return out;
}

// The man page's COMMANDS section with troff's escaped hyphens made plain.
std::string manCommands(std::string page)
{
    for (std::size_t at; (at = page.find("\\-")) != std::string::npos;)
        page.erase(at, 1);
    const std::size_t from = page.find(".SH COMMANDS");
    return page.substr(from, page.find(".SH OPTIONS") - from);
}

TEST(CommandLists, TheCompletionAndTheManPageListEveryCommandOfTheTable)
{
    const std::set<std::string> completed
        = completionCommands(fileText(QUILLET_SOURCE "/packaging/quillet-cli.bash-completion"));
    const std::string man = manCommands(fileText(QUILLET_SOURCE "/packaging/quillet-cli.1.in"));
    ASSERT_FALSE(completed.empty());
    ASSERT_FALSE(man.empty());
    std::set<std::string> known { "raw", "scan", "check", "listen" }; // beside the table
    for (const modbus::FunctionInfo& f : modbus::Functions()) {
        const std::string word(f.command);
        known.insert(word);
        EXPECT_TRUE(completed.count(word)) << word << " is not completed";
        EXPECT_NE(man.find(word), std::string::npos) << word << " is not in the man page";
    }
    for (const std::string& word : completed)
        EXPECT_TRUE(known.count(word)) << word << " is completed but not a command";
}

} // namespace
