// The bash completion and the man page list the commands the table of functions knows: a
// function added to the table and not to them fails here.
#include "modbus/function_table.h"

#include <gtest/gtest.h>

#include <cctype>
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

// The options quillet-cli's sources declare: each `add_option("--x"` and `add_flag("--x"`.
std::set<std::string> declaredOptions()
{
    std::set<std::string> out;
    for (const char* file : { "cli_options.cpp", "scan_options.cpp", "listen_options.cpp" }) {
        const std::string text = fileText(QUILLET_SOURCE "/cli/" + std::string(file));
        for (const char* call : { "add_option(\"", "add_flag(\"" })
            for (std::size_t at = 0; (at = text.find(call, at)) != std::string::npos;) {
                at += std::string_view(call).size();
                out.insert(text.substr(at, text.find('"', at) - at));
            }
    }
    return out;
}

} // namespace

TEST(CommandLists, TheCompletionOffersEveryOption)
{
    const std::string script = fileText(QUILLET_SOURCE "/packaging/quillet-cli.bash-completion");
    const std::set<std::string> options = declaredOptions();
    ASSERT_GT(options.size(), 20u);
    // A whole word: "--count" is not found inside "--counts".
    const auto offered = [&](const std::string& option) {
        const auto wordChar
            = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; };
        for (std::size_t at = 0; (at = script.find(option, at)) != std::string::npos; ++at) {
            const std::size_t end = at + option.size();
            if ((at == 0 || !wordChar(script[at - 1]))
                && (end == script.size() || !wordChar(script[end])))
                return true;
        }
        return false;
    };
    for (const std::string& option : options)
        EXPECT_TRUE(offered(option)) << option << " is not completed";
}
