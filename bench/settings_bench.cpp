// Reading the settings as start-up does (QZT.INI into the station's record and options, then the
// field-selection settings), and the scan-time field selection of one part once they are read.
#include "bench_station.h"
#include "config/configuration.h"
#include "fieldsel/auto_field_selection.h"
#include "platform/ini_file.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using namespace quorlan;

// A settings file as an installation has it: every key of the station, every slot set up, a
// trigger for each source.
std::string installedSettings() {
    std::string text =
        "[KORVALDE]\r\nSettings=9600,N,8,1\r\nCommPort=1\r\nCommPollTime=100\r\nGCodePath=C:\\PROGS\\\r\n"
        "ListPath=C:\\PROGS\\lsx\\\r\nCSVInPath=C:\\CSV\\\r\nCSVOutPath=C:\\OUT\\Quorlan.csv\r\n"
        "AutoStart= 1\r\nOverwrite= 1\r\nAutoClear= 0\r\nExclusion=3\r\n";
    for (const fieldsel::FieldSlot& slot : fieldsel::FieldSelectionSettings().fieldSlots) {
        text += "FieldCode_" + slot.code + "=" + slot.code[2] + "\r\nFieldFlag_" + slot.code + "=1\r\n";
    }
    return text + "HalfLimitX=1000\r\nHalfLimitY=600\r\nAutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorLR=-1\r\n"
                  "PNameMirrorCPos=12\r\nPNameMirrorText=W\r\nCommentMirrorText=MIRROR\r\nCommentMirrorCPos=3\r\n";
}

// Settings folders, each with its own copy of the file. A station starts with a settings file it
// has never read; going round more folders than the station keeps parsed files for, each start-up
// of the benchmark meets a file it does not know either, and reads and parses it once.
struct SettingsFolders {
    explicit SettingsFolders(int count) {
        for (int i = 0; i < count; ++i) {
            folders.push_back(root.makeFolder(std::to_string(i)));
            root.write(std::to_string(i) + "/QZT.INI", installedSettings());
        }
        // Files changed a moment ago are read again on each read until their time has passed.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const testing::TempFolder root;
    std::vector<std::string> folders;
};

void iniLoadAtStartUp(benchmark::State& state) {
    const SettingsFolders settingsFolders(64);
    testing::FakeView view;
    const platform::PathMapper paths;
    std::size_t next = 0;
    for (auto _ : state) {
        const std::string& folder = settingsFolders.folders[next++ % settingsFolders.folders.size()];
        config::StationSettings settings;
        config::LoadConfiguration(settings, view, paths, folder, folder);
        platform::IniFileSection file(folder + "/QZT.INI", "KORVALDE");
        fieldsel::AutoFieldSelection selection(file);
        benchmark::DoNotOptimize(selection.settings().halfLimitX);
    }
}
BENCHMARK(iniLoadAtStartUp)->Unit(benchmark::kMicrosecond);

// Trigger test and slot choice for parts that alternate between the halves of the table.
void fieldSelectionOfOnePart(benchmark::State& state) {
    const SettingsFolders settingsFolders(1);
    platform::IniFileSection file(settingsFolders.folders[0] + "/QZT.INI", "KORVALDE");
    fieldsel::AutoFieldSelection selection(file);
    selection.settings();
    for (auto _ : state) {
        std::string fieldCode;
        const bool both = selection.DetectMirrorTrigger("FLANGE.CNC", "FLANGE PLATE", fieldCode);
        benchmark::DoNotOptimize(both);
        benchmark::DoNotOptimize(selection.SelectMachineField(fieldsel::mode::kAlternating, 600, 400, fieldCode));
    }
}
BENCHMARK(fieldSelectionOfOnePart);

} // namespace
