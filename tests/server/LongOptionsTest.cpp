#include "server/LongOptions.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vorn;

namespace {

LongOption parse(std::vector<std::string> words) {
    words.insert(words.begin(), "Tarnvale");
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    return parseLongOption(static_cast<int>(argv.size()), argv.data());
}

} // namespace

TEST(LongOptions, KnownOptionsAndTheirPaths) {
    EXPECT_EQ(parse({"--help"}).kind, LongOption::Kind::help);
    EXPECT_EQ(parse({"--version"}).kind, LongOption::Kind::version);
    const LongOption config = parse({"--config", "/srv/plant.xml"});
    EXPECT_EQ(config.kind, LongOption::Kind::config);
    EXPECT_EQ(config.path, "/srv/plant.xml");
    EXPECT_EQ(parse({"--check-config"}).kind, LongOption::Kind::checkConfig);
    EXPECT_EQ(parse({"--check-config"}).path, "");
    EXPECT_EQ(parse({"--check-config", "a.xml"}).path, "a.xml");
    EXPECT_FALSE(parse({"--check-config", "a.xml"}).probe);
    for (const auto& words : std::vector<std::vector<std::string>>{
             {"--check-config", "--probe", "a.xml"}, {"--check-config", "a.xml", "--probe"}}) {
        const LongOption probe = parse(words);
        EXPECT_EQ(probe.kind, LongOption::Kind::checkConfig);
        EXPECT_TRUE(probe.probe);
        EXPECT_EQ(probe.path, "a.xml");
    }
    EXPECT_EQ(parse({"--check-config", "--probe"}).path, "");
}

TEST(LongOptions, AnythingElseStartingWithTwoDashesIsRefusedWithItsText) {
    for (const auto& words :
         std::vector<std::vector<std::string>>{{"--verbose"},
                                               {"--help", "me"},
                                               {"--config"},
                                               {"--config", ""},
                                               {"--check-config", "a", "b"},
                                               {"--check-config", "--probe", "a", "b"},
                                               {"--HELP"},
                                               {"--"}}) {
        const LongOption option = parse(words);
        EXPECT_EQ(option.kind, LongOption::Kind::refused) << words[0];
        EXPECT_EQ(option.text.rfind(words[0], 0), 0u);
    }
    EXPECT_EQ(parse({"--config", "x", "y"}).text, "--config x y");
}

TEST(LongOptions, TheOriginalSwitchesAndNoTextAreLeftAlone) {
    for (const auto& words : std::vector<std::vector<std::string>>{
             {}, {"-Embedding"}, {"/regserver"}, {"-Embedding", "-ctt"}, {"-help"}})
        EXPECT_EQ(parse(words).kind, LongOption::Kind::none);
}
