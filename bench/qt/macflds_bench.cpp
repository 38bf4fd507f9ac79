// Opening the field-selection setup dialog, offscreen: the first opening creates it, reading its
// settings from the file and building every tab; later ones only show it again.
#include "fieldsel/qt/macflds_dialog.h"
#include "platform/ini_file.h"
#include "run_benchmarks.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>

namespace {

using namespace quorlan;

// A settings file as an installation has it: every slot set up, a trigger for each source.
std::string writeSettings(const QTemporaryDir& folder) {
    const std::string path = folder.filePath(QStringLiteral("QZT.INI")).toStdString();
    std::ofstream file(path, std::ios::binary);
    file << "[KORVALDE]\r\nSettings=9600,N,8,1\r\nCommPort=1\r\nGCodePath=C:\\PROGS\\\r\n";
    for (const fieldsel::FieldSlot& slot : fieldsel::FieldSelectionSettings().fieldSlots) {
        file << "FieldCode_" << slot.code << "=" << slot.code[2] << "\r\nFieldFlag_" << slot.code << "=1\r\n";
    }
    file << "HalfLimitX=1000\r\nHalfLimitY=600\r\nAutoSelSetting=1\r\nPNameMSel=1\r\nPNameMirrorLR=-1\r\n"
            "PNameMirrorCPos=12\r\nPNameMirrorText=W\r\nCommentMirrorText=MIRROR\r\nCommentMirrorCPos=3\r\n";
    return path;
}

void showAndPaint(QWidget& dialog) {
    dialog.show();
    QApplication::processEvents();
    QApplication::processEvents();
}

void MacFldsFirstOpening(benchmark::State& state) {
    const QTemporaryDir folder;
    const std::string path = writeSettings(folder);
    const std::string lastName = "FLANGE";
    const std::string lastComment = "FLANGE PLATE";
    for (auto _ : state) {
        platform::IniFileSection file(path, "KORVALDE");
        fieldsel::AutoFieldSelection selection(file);
        fieldsel::FieldSelectionSetup setup(selection, lastName, lastComment);
        fieldsel::MacFlds dialog(setup);
        showAndPaint(dialog);
        dialog.hide();
    }
}
BENCHMARK(MacFldsFirstOpening)->Unit(benchmark::kMillisecond);

void MacFldsLaterOpening(benchmark::State& state) {
    const QTemporaryDir folder;
    const std::string path = writeSettings(folder);
    const std::string lastName = "FLANGE";
    const std::string lastComment = "FLANGE PLATE";
    platform::IniFileSection file(path, "KORVALDE");
    fieldsel::AutoFieldSelection selection(file);
    fieldsel::FieldSelectionSetup setup(selection, lastName, lastComment);
    fieldsel::MacFlds dialog(setup);
    for (auto _ : state) {
        showAndPaint(dialog);
        dialog.hide();
        QApplication::processEvents();
    }
}
BENCHMARK(MacFldsLaterOpening)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char* argv[]) {
    return quorlan::bench::runWindowBenchmarks(argc, argv);
}
