#include "images.h"

#include "symbols/decoder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <functional>
#include <stdexcept>

namespace quorlan::scan_tool {

namespace {

constexpr int kPdfDotsPerInch = 300;
// A page of labels takes a second or two to render and read; a PDF beyond this is no job's labels
// and would keep the emulator busy for many minutes.
constexpr int kMaxPdfPages = 200;
constexpr int kPagesPerRun = 10;
constexpr int kToolMilliseconds = 120'000;
// A renderer stopped by a signal (SIGSTOP, a terminal's Ctrl+Z) does not go on by itself.
constexpr int kStoppedMilliseconds = 5'000;
constexpr int kPollMilliseconds = 100;
constexpr std::size_t kShownBytes = 80;

using ImageVisitor = std::function<void(const QImage& image)>;

// Whether the process is stopped, as /proc shows it ("T" or "t" after the command's name).
bool stopped(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close >= 0 && close + 2 < line.size() && (line[close + 2] == 'T' || line[close + 2] == 't');
}

std::string waitFor(QProcess& tool) {
    QElapsedTimer running;
    running.start();
    qint64 stoppedSince = -1;
    while (!tool.waitForFinished(kPollMilliseconds)) {
        if (tool.state() == QProcess::NotRunning) {
            return {};
        }
        if (!stopped(tool.processId())) {
            stoppedSince = -1;
        } else if (stoppedSince < 0) {
            stoppedSince = running.elapsed();
        }
        std::string why;
        if (stoppedSince >= 0 && running.elapsed() - stoppedSince >= kStoppedMilliseconds) {
            why = "it was stopped (by a signal such as SIGSTOP) and did not go on";
        } else if (running.elapsed() >= kToolMilliseconds) {
            why = "it did not finish within " + std::to_string(kToolMilliseconds / 1000) + " s";
        }
        if (!why.empty()) {
            tool.kill();
            tool.waitForFinished();
            return why;
        }
    }
    return {};
}

// Runs one of poppler's tools to its end and gives its standard output; throws with what went
// wrong, in words, when it could not be run or did not end well.
QByteArray runTool(const QString& program, const QStringList& arguments, const std::string& what) {
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForStarted()) {
        throw std::runtime_error("cannot " + what + ": " + program.toStdString() +
                                 " (Debian package poppler-utils) is not installed");
    }
    std::string why = waitFor(tool);
    const std::string name = program.toStdString();
    if (why.empty() && tool.exitStatus() == QProcess::CrashExit) {
        // Qt gives the signal's number as the exit code of a process a signal ended.
        why = "it was ended by signal " + std::to_string(tool.exitCode()) + " (" + ::strsignal(tool.exitCode()) + ")";
    } else if (why.empty() && tool.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(tool.readAllStandardError()).trimmed();
        why = said.isEmpty() ? "it ended with exit status " + std::to_string(tool.exitCode()) : said.toStdString();
    }
    if (!why.empty()) {
        throw std::runtime_error("cannot " + what + ": " + name + " failed: " + why);
    }
    return tool.readAllStandardOutput();
}

int pdfPageCount(const QString& file) {
    const QByteArray info = runTool(QStringLiteral("pdfinfo"), {file}, "read " + file.toStdString());
    for (const QByteArray& line : info.split('\n')) {
        if (line.startsWith("Pages:")) {
            bool ok = false;
            const int pages = line.mid(6).trimmed().toInt(&ok);
            if (ok) {
                return pages;
            }
        }
    }
    throw std::runtime_error("cannot read " + file.toStdString() + ": pdfinfo gives no number of pages");
}

// A few pages at a time, each decoded on its own and its file removed, so that a long PDF never
// needs more memory than one page, nor more disk than a few.
void visitPdfPages(const QString& file, const ImageVisitor& visit) {
    const int pages = pdfPageCount(file);
    if (pages > kMaxPdfPages) {
        throw std::runtime_error(file.toStdString() + " has " + std::to_string(pages) + " pages; at most " +
                                 std::to_string(kMaxPdfPages) +
                                 " pages of a PDF are read (give the pages in parts, or as PNG files)");
    }
    QTemporaryDir folder;
    if (!folder.isValid()) {
        throw std::runtime_error("no temporary folder for the pages of " + file.toStdString());
    }
    for (int first = 1; first <= pages; first += kPagesPerRun) {
        const int last = std::min(pages, first + kPagesPerRun - 1);
        const std::string which = first == last ? "page " + std::to_string(first)
                                                : "pages " + std::to_string(first) + " to " + std::to_string(last);
        runTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QString::number(kPdfDotsPerInch), QStringLiteral("-gray"),
                 QStringLiteral("-png"), QStringLiteral("-f"), QString::number(first), QStringLiteral("-l"),
                 QString::number(last), file, folder.filePath(QStringLiteral("page"))},
                "render " + which + " of " + file.toStdString());
        // pdftoppm numbers pages with as many digits as the last needs, so names sort in page order.
        QDir rendered(folder.path());
        for (const QString& name : rendered.entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name)) {
            const QImage image(rendered.filePath(name));
            rendered.remove(name);
            if (image.isNull()) {
                throw std::runtime_error("cannot read " + which + " of " + file.toStdString() +
                                         " as pdftoppm rendered them");
            }
            visit(image);
        }
    }
}

void visitImages(const std::string& file, const ImageVisitor& visit) {
    const QString path = QString::fromStdString(file);
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        visitPdfPages(path, visit);
        return;
    }
    const QImage image(path);
    if (image.isNull()) {
        throw std::runtime_error("cannot read the image " + file);
    }
    visit(image);
}

} // namespace

std::vector<std::string> payloadsFromImages(const std::vector<std::string>& files) {
    std::vector<symbols::Decoded> found;
    for (const std::string& file : files) {
        const std::size_t before = found.size();
        visitImages(file, [&found](const QImage& image) {
            const auto symbols = symbols::decodeImage(image);
            found.insert(found.end(), symbols.begin(), symbols.end());
        });
        if (found.size() == before) {
            throw std::runtime_error("no barcode found in " + file);
        }
    }
    const symbols::Merged merged = symbols::mergeSequences(found);
    if (!merged.incomplete.empty()) {
        throw std::runtime_error("a " + merged.incomplete.front() + "; give every image of the sequence");
    }
    return merged.payloads;
}

std::string describePayload(const std::string& payload) {
    const bool printable = std::all_of(payload.begin(), payload.end(), [](char c) { return c >= ' ' && c < 0x7F; });
    if (printable && payload.size() <= kShownBytes) {
        return payload;
    }
    return "(" + std::to_string(payload.size()) + " bytes)";
}

} // namespace quorlan::scan_tool
