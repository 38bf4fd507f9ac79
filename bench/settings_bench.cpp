// Reading the settings as start-up does (QZT.INI into the station's record and options, then the
// field-selection settings), and the scan-time field selection of one part once they are read.
#include "bench_station.h"
#include "config/configuration.h"
#include "fieldsel/auto_field_selection.h"
#include "platform/ini_file.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

using namespace quorlan;

// A settings file as an installation has it: every key of the station, every slot set up, a
// trigger for each source.
struct SettingsFolder {
    SettingsFolder() {
        std::filesystem::create_directories(root);
        std::ofstream file(root / "QZT.INI", std::ios::binary);
        file << "[KORVALDE]\r\nSettings=9600,N,8,1\r\nCommPort=1\r\nCommPollTime=100\r\nGCodePath=C:\\PROGS\\\r\n"
                "ListPath=C:\\PROGS\\lsx\\\r\nCSVInPath=C:\\CSV\\\r\nCSVOutPath=C:\\OUT\\Quorlan.csv\r\n"
                "AutoStart= 1\r\nOverwrite= 1\r\nAutoClear= 0\r\nExclusion=3\r\n";
        for (const fieldsel::FieldSlot& slot : fieldsel::FieldSelectionSettings().fieldSlots) {
            file << "FieldCode_" << slot.code << "=" << slot.code[2] << "\r\nFieldFlag_" << slot.code << "=1\r\n";
        }
        file << "HalfLimitX=1000\r\nHalfLimitY=600\r\nAutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorLR=-1\r\n"
                "PNameMirrorCPos=12\r\nPNameMirrorText=W\r\nCommentMirrorText=MIRROR\r\nCommentMirrorCPos=3\r\n";
    }
    ~SettingsFolder() { std::filesystem::remove_all(root); }

    std::string path() const { return (root / "QZT.INI").string(); }

    const std::filesystem::path root =
        std::filesystem::temp_directory_path() / ("quorlan-settings-bench-" + std::to_string(::getpid()));
};

void iniLoadAtStartUp(benchmark::State& state) {
    const SettingsFolder folder;
    bench::QuietView view;
    const platform::PathMapper paths;
    for (auto _ : state) {
        config::StationSettings settings;
        config::LoadConfiguration(settings, view, paths, folder.root.string(), folder.root.string());
        platform::IniFileSection file(folder.path(), "KORVALDE");
        fieldsel::AutoFieldSelection selection(file);
        benchmark::DoNotOptimize(selection.settings().halfLimitX);
    }
}
BENCHMARK(iniLoadAtStartUp)->Unit(benchmark::kMicrosecond);

// Trigger test and slot choice for parts that alternate between the halves of the table.
void fieldSelectionOfOnePart(benchmark::State& state) {
    const SettingsFolder folder;
    platform::IniFileSection file(folder.path(), "KORVALDE");
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
