// Renders each tab of MacFlds to a PNG file, from a sample settings file with every slot filled
// in, so the drawings can be looked at without a display: macflds_screenshots FOLDER.
#include "fieldsel/qt/macflds_dialog.h"
#include "platform/ini_file.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <cstdio>
#include <fstream>

namespace {

using namespace quorlan;

void writeSampleSettings(const std::string& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << "[KORVALDE]\r\n";
    fieldsel::FieldSelectionSettings empty;
    for (const fieldsel::FieldSlot& slot : empty.fieldSlots) {
        // Each box shows a code of its own end: N, M, S, A, T, R, with the row's suffix.
        const char row = slot.code[0];
        const std::string suffix = row == 'B' ? "/" : row == 'F' ? "1" : "";
        file << "FieldCode_" << slot.code << "=" << slot.code[2] << (slot.code == "DFN" ? "" : suffix) << "\r\n";
        file << "FieldFlag_" << slot.code << "=" << (slot.code[2] == 'R' ? 0 : 1) << "\r\n";
    }
    file << "HalfLimitX=1000\r\nHalfLimitY=600\r\nAutoSelSetting=1\r\nPNameMSel=1\r\n"
            "PNameMirrorLR=-1\r\nPNameMirrorCPos=12\r\nPNameMirrorText=W\r\n";
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    const std::string settingsPath = QDir(folder).filePath(QStringLiteral("QZT.INI")).toStdString();
    writeSampleSettings(settingsPath);
    platform::IniFileSection section(settingsPath, "KORVALDE");
    fieldsel::AutoFieldSelection selection(section);
    const std::string lastName = "FLANGEW";
    const std::string lastComment = "FLANGE PLATE";
    fieldsel::FieldSelectionSetup setup(selection, lastName, lastComment);
    fieldsel::MacFlds dialog(setup);
    dialog.show();
    auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("SSTab"));
    for (int index = 0; index < tabs->count(); ++index) {
        tabs->setCurrentIndex(index);
        QApplication::processEvents();
        QString name = tabs->tabText(index).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
        const QString file = QDir(folder).filePath(QStringLiteral("macflds-%1-%2.png").arg(index).arg(name));
        if (!dialog.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    QFile::remove(QString::fromStdString(settingsPath));
    return 0;
}
