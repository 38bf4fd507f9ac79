#include "cnc/compressed_payload.h"
#include "fakes/fake_view.h"
#include "fakes/temp_folder.h"
#include "platform/zlib_codec.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace quorlan::cnc {
namespace {

using ::testing::ElementsAre;

// A program text of the given length that compresses about as well as real G-code.
std::string programOf(std::size_t length) {
    std::string text;
    for (int line = 1; text.size() < length; ++line) {
        text += "N" + std::to_string(line) + " G01 X" + std::to_string(line * 7 % 600) + ".5 Y" +
                std::to_string(line * 13 % 400) + " Z-2 F1200 \\\\ \r\n";
    }
    text.resize(length);
    return text;
}

class CompressedScanTest : public ::testing::Test {
protected:
    CompressedScanTest() { std::filesystem::create_directories(folder.root() / "Koridan" / "Bin"); }

    std::string expand(const std::string& scan) { return ExpandCompressedScan(scan, zlib, paths, view); }

    testing::TempFolder folder;
    platform::PathMapper paths{[this](const std::string& name) {
        return name == "QUORLAN_DRIVE_C" ? std::optional<std::string>(folder.root().string()) : std::nullopt;
    }};
    platform::ZlibDecompressor zlib;
    testing::FakeView view;
};

TEST(Backslashes, everySecondOfARunIsDropped) {
    const std::pair<std::string, std::string> cases[] = {
        {"a\\\\b", "a\\b"}, {"\\\\\\\\", "\\\\"}, {"\\\\\\", "\\\\"}, {"\\", "\\"}, {"a\\b\\\\c", "a\\b\\c"}, {"", ""},
    };
    for (const auto& [doubled, single] : cases) {
        EXPECT_EQ(undoubleBackslashes(doubled), single) << doubled;
    }
    EXPECT_EQ(undoubleBackslashes(doubleBackslashes("\\\\x\\")), "\\\\x\\");
}

TEST_F(CompressedScanTest, bothRoutesGiveBackExactlyTheTextThatWasCompressed) {
    std::string everyByte;
    for (int i = 0; i < 256 * 40; ++i) {
        everyByte += static_cast<char>(i % 256);
    }
    for (const std::string& text : {programOf(40), programOf(23072), programOf(23073), programOf(32767), everyByte}) {
        const std::string scan = buildCompressedScan(text);
        ASSERT_EQ(scan.substr(0, 11), "\xF1"
                                      "00" +
                                          std::string(5 - std::to_string(text.size()).size(), '0') +
                                          std::to_string(text.size()) + "000");
        EXPECT_EQ(expand(scan), text) << text.size();
    }
    EXPECT_TRUE(view.statusHistory.empty());
    EXPECT_TRUE(std::filesystem::is_empty(folder.root() / "Koridan" / "Bin")) << "temporary files left";
}

// A text whose compressed data ends with the byte given: such data must not lose its end to the
// line end that a scanner may put after it.
std::string programWhoseDataEndsWith(char last, std::size_t length) {
    // The stream ends with its checksum, whose last byte follows the sum of the text's bytes.
    std::string text = programOf(length) + ' ';
    while (buildCompressedScan(text).back() != last) {
        ++text.back();
    }
    return text;
}

TEST_F(CompressedScanTest, scannersLineEndAfterTheDataIsDroppedAndDataEndingLikeOneIsKept) {
    const std::string texts[] = {programOf(40), programOf(25000), programWhoseDataEndsWith('\r', 40),
                                 programWhoseDataEndsWith('\n', 40), programWhoseDataEndsWith('\r', 25000)};
    for (const std::string& text : texts) {
        for (const std::string lineEnd : {"", "\r", "\n", "\r\n"}) {
            view.statusHistory.clear();
            const std::string context = std::to_string(text.size()) + " characters, ending " +
                                        std::to_string(static_cast<int>(buildCompressedScan(text).back())) +
                                        ", line end of " + std::to_string(lineEnd.size());
            EXPECT_TRUE(expand(buildCompressedScan(text) + lineEnd) == text) << context;
            EXPECT_TRUE(view.statusHistory.empty()) << context << ": " << view.status();
        }
    }
}

TEST_F(CompressedScanTest, scansThatCannotBeExpandedAreReportedAndGiveNothing) {
    const std::string good = buildCompressedScan(programOf(5000));
    std::string flipped = good;
    flipped[good.size() / 2] = static_cast<char>(flipped[good.size() / 2] ^ 0x55);
    std::string large = buildCompressedScan(programOf(30000));
    const std::string kCorrupt = "it could not be expanded: the data is corrupt, incomplete or longer than it claims";
    const struct {
        std::string scan;
        std::string reason;
    } cases[] = {
        {good.substr(0, good.size() - 20), kCorrupt},
        {good.substr(0, 11) + "garbage that is no stream", kCorrupt},
        {flipped, kCorrupt},
        {good + "tail", kCorrupt},
        {good + "\r\r", kCorrupt}, // one line end is dropped, not any number of them
        {good + "\n\r", kCorrupt},
        {good.substr(0, 3) + "04999" + good.substr(8) + "\r", "it claims 4999 characters but expands to 5000"},
        {good.substr(0, 3) + "04999" + good.substr(8), "it claims 4999 characters but expands to 5000"},
        {good.substr(0, 3) + "05001" + good.substr(8), "it claims 5001 characters but expands to 5000"},
        {good.substr(0, 3) + "ABCDE" + good.substr(8), "it claims 0 characters but expands to 5000"},
        {large.substr(0, 3) + "30001" + large.substr(8), "it claims 30001 characters but expands to 30000"},
        {large.substr(0, 3) + "29999" + large.substr(8), kCorrupt},
        {good.substr(0, 3) + "40000" + good.substr(8),
         "it claims 40000 characters, more than the 32767 a scan can hold"},
        {"\xF1"
         "0000100000" +
             std::string(32768, 'x'),
         "its data is 32768 characters, more than the 32767 a scan can hold"},
        {"\xF1", kCorrupt},
    };
    for (const auto& c : cases) {
        view.statusHistory.clear();
        EXPECT_EQ(expand(c.scan), "") << c.reason;
        EXPECT_EQ(view.statusHistory, std::vector<std::string>{"Compressed scan not used: " + c.reason + "."});
    }
}

// Whatever was planted under the temporary files' names is neither written through nor read:
// each scan makes them afresh, and removes them when it is done.
TEST_F(CompressedScanTest, fileRouteMakesItsTemporaryFilesAfreshAndRemovesThem) {
    const std::string text = programOf(25000);
    const auto bin = folder.root() / "Koridan" / "Bin";
    const std::string outside = folder.write("outside/target", "keep me");
    using Plant = std::function<void(const std::filesystem::path&)>;
    const std::pair<const char*, Plant> plants[] = {
        {"a large old file", [&](const auto& name) { folder.write(name.string(), std::string(1 << 20, 'Z')); }},
        {"a link to a file outside", [&](const auto& name) { std::filesystem::create_symlink(outside, name); }},
        {"a link to nowhere", [&](const auto& name) { std::filesystem::create_symlink(folder.root() / "new", name); }},
        {"a FIFO", [&](const auto& name) { ::mkfifo(name.c_str(), 0600); }},
    };
    for (const auto& [what, plant] : plants) {
        for (const char* name : {"Temp.Cmp", "Temp.Dat"}) {
            plant(bin / name);
            view.statusHistory.clear();
            EXPECT_EQ(expand(buildCompressedScan(text)), text) << what << " at " << name;
            EXPECT_TRUE(view.statusHistory.empty()) << what << " at " << name;
            EXPECT_TRUE(std::filesystem::is_empty(bin)) << what << " at " << name;
            EXPECT_EQ(testing::readFile(outside), "keep me") << what << " at " << name;
            EXPECT_FALSE(std::filesystem::exists(folder.root() / "new")) << what << " at " << name;
        }
    }

    std::filesystem::create_directory(bin / "Temp.Dat");
    EXPECT_EQ(expand(buildCompressedScan(text)), "");
    EXPECT_EQ(view.status(), "Compressed scan not used: the temporary file C:\\Koridan\\Bin\\Temp.Dat cannot be "
                             "opened: Is a directory.");
    std::filesystem::remove_all(folder.root() / "Koridan");
    EXPECT_EQ(expand(buildCompressedScan(text)), "");
    EXPECT_EQ(view.status(), "Compressed scan not used: the temporary file C:\\Koridan\\Bin\\Temp.Cmp cannot be "
                             "written: No such file or directory.");
}

TEST(CompressedScanBuilder, refusesWhatTheLayoutCannotHold) {
    EXPECT_THROW(buildCompressedScan(std::string(32768, 'a')), std::invalid_argument);
    std::mt19937 random(7);
    std::string noise(32700, '\0');
    for (char& c : noise) {
        c = static_cast<char>(random());
    }
    EXPECT_THROW(buildCompressedScan(noise), std::invalid_argument) << "noise does not shrink, and backslashes double";
}

// The library's calls, in the order the station has always made them.
class RecordingDecompressor final : public platform::Decompressor {
public:
    int cxInit() override { return record("cxInit"); }
    int cxCleanup() override { return record("cxCleanup"); }
    int cxBuf2BufInit() override { return record("cxBuf2BufInit"); }
    int cxBuf2BufExpand(const char* input, char* output, int outputSize, int compressedLength) override {
        record("cxBuf2BufExpand " + std::to_string(outputSize) + " " + std::to_string(compressedLength));
        return zlib.cxBuf2BufExpand(input, output, outputSize, compressedLength);
    }
    int cxBuf2BufClose() override { return record("cxBuf2BufClose"); }
    std::uint32_t cxBufCRC32(const char*, int length) override {
        return static_cast<std::uint32_t>(record("cxBufCRC32 " + std::to_string(length)));
    }
    int cxOpenFile(const std::string& path, int mode) override {
        record("cxOpenFile " + std::filesystem::path(path).filename().string() + " " + std::to_string(mode));
        return zlib.cxOpenFile(path, mode);
    }
    int cxExpandFile(const platform::CxExpandFileParameters& p) override {
        record("cxExpandFile " + std::to_string(p.compressedLength) + " " + std::to_string(p.expandedLength) + " " +
               std::to_string(p.mode));
        return zlib.cxExpandFile(p);
    }
    int cxCloseFile(int handle) override {
        record("cxCloseFile");
        return zlib.cxCloseFile(handle);
    }

    std::vector<std::string> calls;

private:
    int record(const std::string& call) {
        calls.push_back(call);
        return platform::kCxOk;
    }
    platform::ZlibDecompressor zlib;
};

TEST_F(CompressedScanTest, callsTheLibraryInItsOrderOnEachRoute) {
    RecordingDecompressor recorder;
    const std::string small = buildCompressedScan(programOf(23072));
    const auto smallData = std::to_string(undoubleBackslashes(small.substr(11)).size());
    EXPECT_EQ(ExpandCompressedScan(small, recorder, paths, view).size(), 23072U);
    EXPECT_THAT(recorder.calls, ElementsAre("cxInit", "cxBuf2BufInit", "cxBufCRC32 " + smallData,
                                            "cxBuf2BufExpand 23200 " + smallData, "cxBuf2BufClose", "cxCleanup"));
    recorder.calls.clear();
    const std::string large = buildCompressedScan(programOf(23073));
    const auto largeData = std::to_string(undoubleBackslashes(large.substr(11)).size());
    EXPECT_EQ(ExpandCompressedScan(large, recorder, paths, view).size(), 23073U);
    EXPECT_THAT(recorder.calls,
                ElementsAre("cxInit", "cxOpenFile Temp.Dat 10", "cxOpenFile Temp.Cmp 1",
                            "cxExpandFile " + largeData + " 23073 2", "cxCloseFile", "cxCloseFile", "cxCleanup"));
}

} // namespace
} // namespace quorlan::cnc
