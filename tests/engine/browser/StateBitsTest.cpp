// The shell mirrors the engine's state bits as "hl-*" attributes from its own table of them
// (web/mirror.js); each of its values must be the engine's STATE_<NAME>.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace tavopix {
namespace {

std::string SourceText(const std::string& relative) {
    std::ifstream file(std::string(TAVOPIX_SOURCE_DIR) + "/" + relative);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// name -> value of every match of `pattern` (name in group 1, hexadecimal value in group 2).
std::map<std::string, unsigned long> Table(const std::string& text, const std::regex& pattern) {
    std::map<std::string, unsigned long> table;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        table[(*it)[1]] = std::stoul((*it)[2], nullptr, 16);
    }
    return table;
}

TEST(StateBitsTest, ShellMirrorsTheEngineBits) {
    const auto engine = Table(SourceText("engine/ElementState.h"),
                              std::regex(R"(STATE_([A-Z_]+) = 0x([0-9A-Fa-f]+);)"));
    const std::string mirror = SourceText("web/mirror.js");
    const auto table = mirror.find("STATE_BITS = {");
    ASSERT_NE(table, std::string::npos);
    const std::string entries = mirror.substr(table, mirror.find('}', table) - table);
    const auto shell = Table(entries, std::regex(R"(([a-z]+): 0x([0-9A-Fa-f]+))"));
    ASSERT_GE(shell.size(), 11u);
    for (const auto& [name, bit] : shell) {
        std::string upper;
        for (char c : name)
            upper.push_back(static_cast<char>(c - 'a' + 'A'));
        ASSERT_TRUE(engine.count(upper)) << name << " is no engine state";
        EXPECT_EQ(bit, engine.at(upper)) << name;
    }
}

}  // namespace
}  // namespace tavopix
