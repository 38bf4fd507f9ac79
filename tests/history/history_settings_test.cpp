#include "fieldsel/fake_profile_section.h"
#include "history/history_settings.h"

#include <gtest/gtest.h>
#include <map>

namespace quorlan::history {
namespace {

TEST(HistorySettingsTest, fileAndDays_fromTheKeysOrTheirDefaults) {
    const std::map<std::string, std::string> environment = {{"HOME", "/home/op"}, {"QUORLAN_DRIVE_D", "/mnt/d"}};
    const platform::PathMapper paths([&](const std::string& name) -> std::optional<std::string> {
        const auto it = environment.find(name);
        return it == environment.end() ? std::nullopt : std::optional(it->second);
    });
    struct Case {
        std::map<std::string, std::string> keys;
        std::string file;
        bool defaultPlace;
        int days;
    };
    const std::string longPath = "/srv/" + std::string(200, 'h') + "/history.sqlite";
    const Case cases[] = {
        {{}, "/home/op/.local/share/quorlan/history.sqlite", true, 365},
        {{{"HistoryFile", "  "}, {"HistoryDays", "30"}}, "/home/op/.local/share/quorlan/history.sqlite", true, 30},
        {{{"HistoryFile", "/var/lib/quorlan/h.sqlite"}, {"HistoryDays", "0"}}, "/var/lib/quorlan/h.sqlite", false, 0},
        {{{"HistoryFile", "D:\\History\\h.sqlite"}, {"HistoryDays", "-1"}}, "/mnt/d/History/h.sqlite", false, 365},
        {{{"HistoryFile", longPath}}, longPath, false, 365},
    };
    for (const auto& c : cases) {
        testing::FakeProfileSection section;
        section.values = c.keys;
        const HistorySettings settings = readHistorySettings(section, paths);
        EXPECT_EQ(settings.file, c.file);
        EXPECT_EQ(settings.defaultPlace, c.defaultPlace) << c.file;
        EXPECT_EQ(settings.days, c.days) << c.file;
    }
}

} // namespace
} // namespace quorlan::history
