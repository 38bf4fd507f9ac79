// 2D program labels: printed, read back from the page, expanded and handed to the station's own 2D
// processing, which must save the program file as it was and queue the header's values.
#include "cnc/compressed_payload.h"
#include "label_plan.h"
#include "label_run.h"
#include "platform/zlib_codec.h"
#include "scan/scan_harness.h"
#include "scan/two_d_payload.h"
#include "symbols/decoder.h"

#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::string_literals;

namespace quorlan::label_tool {
namespace {

using symbols::Symbology;

// G-code with what offices put in comments: a diameter sign, degrees, backslashes.
std::string program(std::size_t size) {
    std::string text = "G71 X600 Y400 Z18\r\n(SIDE PANEL \xD8 20 \xB0)\r\n";
    for (int n = 3; text.size() < size; ++n) {
        text += "N" + std::to_string(n) + " G01 X" + std::to_string(n * 7 % 600) + ".5 Y" +
                std::to_string(n * 13 % 400) + " Z-2 F1200 \\\\ ; " + std::to_string(n * 31 % 97) + "\r\n";
    }
    return text;
}

class TwoDLabelTest : public ::testing::Test {
protected:
    void writeProgram(const std::string& name, const std::string& bytes) {
        QFile file(folder.filePath(QString::fromStdString(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }

    Plan plan(const std::string& job, Symbology symbology = Symbology::QRCode, bool compress = false) {
        return planJob(readJob(job), LabelForm::TwoD, true, {symbology, compress, folder.path()});
    }

    // The scans a 2D imager gets from the printed page.
    std::vector<std::string> printAndRead(const Plan& planned) {
        const QString page = folder.filePath(QStringLiteral("labels.png"));
        const PrintResult printed = printLabels(planned.labels, {{105, 74}, true, 300, true, page, PageFormat::Png});
        EXPECT_EQ(printed.faults, std::vector<std::string>{});
        std::vector<symbols::Decoded> found;
        for (const QString& file : printed.files) {
            const auto read = symbols::decodeImage(QImage(file));
            found.insert(found.end(), read.begin(), read.end());
        }
        return symbols::mergeSequences(found).payloads;
    }

    QTemporaryDir folder;
};

TEST_F(TwoDLabelTest, theStationSavesTheProgramAsItWasAndQueuesTheHeader) {
    const struct {
        Symbology symbology;
        bool compress;
        std::size_t programSize;
        std::size_t labels;
    } cases[] = {
        {Symbology::QRCode, true, 20000, 2},
        {Symbology::QRCode, false, 6000, 3},
        {Symbology::DataMatrix, true, 8000, 2},
        {Symbology::PDF417, false, 700, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(symbols::nameOf(c.symbology)) + (c.compress ? " compressed" : " plain"));
        const std::string file = program(c.programSize);
        writeProgram("PART7.CNC", file);
        const Plan planned =
            plan("program,field,x,y,z,a,comment\nPART7,N1,600,400,18,5,side panel\n", c.symbology, c.compress);
        ASSERT_EQ(planned.faults, std::vector<std::string>{});
        EXPECT_EQ(encodePlan(planned.labels).labels.size(), c.labels);
        const std::vector<std::string> scans = printAndRead(planned);
        ASSERT_EQ(scans.size(), 1u);

        testing::ScanHarness station;
        platform::ZlibDecompressor zlib;
        const std::string scan =
            c.compress ? cnc::ExpandCompressedScan(scans[0], zlib, station.paths, station.view) : scans[0];
        station.twoD.Process2DBarcode(scan);
        EXPECT_EQ(station.read("PROG/PART7.CNC"), file);
        ASSERT_EQ(station.addedLines().size(), 1u);
        const std::string line = station.addedLines()[0];
        EXPECT_TRUE(line.starts_with("#161=PART7.CNC;")) << line;
        EXPECT_NE(line.find(";#168=600;#169=400;#170=18;"), std::string::npos) << line;
    }
}

TEST_F(TwoDLabelTest, faultsNameRowAndColumn) {
    writeProgram("PART7.CNC", program(200));
    writeProgram("EMPTY.CNC", "");
    writeProgram("SHORT.CNC", "G71 X1\r\n");
    writeProgram("BINARY.CNC", "G71 X600\r\n\0N1 G0"s);
    writeProgram("HUGE.CNC", program(1'000'000));
    const struct {
        std::string row;
        std::string fault;
    } cases[] = {
        {"PART7,X9,600,", "row 2, column field: \"X9\" is not one of the 36 field codes"},
        {"PART7,N,6OO,", "row 2, column x: \"6OO\" is not a number"},
        {"PART7,N,600^1,", "row 2, column x: it holds \"^\" or \"!\""},
        {"PART7,N,600,999", "row 2, column repetitions: a 2D label queues its part once"},
        {"..\\PART7,N,600,", "row 2, column program: it leads out of the program folder"},
        {"MISSING,N,600,",
         "row 2, column program: " + folder.filePath(QStringLiteral("MISSING.CNC")).toStdString() + " does not exist"},
        {"EMPTY,N,600,",
         "row 2, column program: " + folder.filePath(QStringLiteral("EMPTY.CNC")).toStdString() + " is empty"},
        {"SHORT,N,600,", "the program text is not accepted: it is 6 characters long"},
        {"BINARY,N,600,", "holds a NUL byte (at byte 11)"},
    };
    for (const auto& c : cases) {
        const Plan planned = plan("program,field,x,repetitions\n" + c.row + "\n");
        ASSERT_EQ(planned.faults.size(), 1u) << c.row;
        EXPECT_NE(planned.faults[0].find(c.fault), std::string::npos) << planned.faults[0];
    }
    const Plan huge = plan("program\nHUGE\n");
    ASSERT_EQ(huge.faults, std::vector<std::string>{});
    const std::string tooBig = encodePlan(huge.labels).faults.at(0);
    EXPECT_TRUE(tooBig.starts_with("row 2, column program: ")) << tooBig;
    EXPECT_NE(tooBig.find("bytes are too many: 16 qr symbols hold at most"), std::string::npos) << tooBig;
    EXPECT_TRUE(tooBig.ends_with("--compress makes the scan smaller")) << tooBig;
    EXPECT_NE(plan("program\nHUGE\n", Symbology::QRCode, true).faults.at(0).find("a compressed scan can hold"),
              std::string::npos);
}

TEST_F(TwoDLabelTest, aUtf8ProgramGoesAsItIsWithANote) {
    const std::string utf8 = "G71 X600\r\n(\xC3\x98 PLATE)\r\n";
    writeProgram("PART7.CNC", utf8);
    const Plan planned = plan("program\nPART7\n");
    ASSERT_EQ(planned.faults, std::vector<std::string>{});
    ASSERT_EQ(planned.notes.size(), 1u);
    EXPECT_NE(planned.notes[0].find("looks like UTF-8"), std::string::npos);
    EXPECT_TRUE(planned.labels.at(0).payload.ends_with("!" + scan::programTextOfFile(utf8)));
}

// A job names its programs as part labels do, so the 2D form finds the file the station would read
// for the same row, and its header names that file, so the station saves and queues what the part
// labels would queue.
TEST_F(TwoDLabelTest, programFilesAreFoundAsTheStationFindsThem) {
    writeProgram("FLANGE.CNC", program(200));
    writeProgram("side.cnc", program(300));
    writeProgram("PART7.cnc", program(400));
    writeProgram("PLAIN", program(500));
    const struct {
        const char* row;
        const char* file;   // read; empty: refused
        const char* header; // the program the 2D scan names
    } cases[] = {
        {"FLANGE", "FLANGE.CNC", "FLANGE.CNC"},
        {"Side", "side.cnc", "Side.CNC"},
        {"PART7.cnc", "PART7.cnc", "PART7.cnc"},
        {"PLAIN", "", ""},
    };
    for (const auto& c : cases) {
        const Plan planned = plan("program\n" + std::string(c.row) + "\n");
        if (*c.file == '\0') {
            ASSERT_EQ(planned.faults.size(), 1u) << c.row;
            EXPECT_NE(planned.faults[0].find("PLAIN.CNC does not exist"), std::string::npos) << planned.faults[0];
            continue;
        }
        ASSERT_EQ(planned.faults, std::vector<std::string>{}) << c.row;
        const std::string& payload = planned.labels.at(0).payload;
        EXPECT_TRUE(payload.starts_with(std::string(c.header) + "^!")) << payload.substr(0, 20);
        QFile file(folder.filePath(QString::fromLatin1(c.file)));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(payload.ends_with(scan::programTextOfFile(file.readAll().toStdString()))) << c.row;
    }
}

} // namespace
} // namespace quorlan::label_tool
