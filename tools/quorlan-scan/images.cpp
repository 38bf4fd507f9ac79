#include "images.h"

#include "symbols/decoder.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <stdexcept>

namespace quorlan::scan_tool {

namespace {

constexpr int kPdfDotsPerInch = 300;
constexpr int kPdftoppmMilliseconds = 120'000;
constexpr std::size_t kShownBytes = 80;

std::vector<QImage> pdfPages(const QString& file) {
    QTemporaryDir pages;
    if (!pages.isValid()) {
        throw std::runtime_error("no temporary folder for the pages of " + file.toStdString());
    }
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QString::number(kPdfDotsPerInch), QStringLiteral("-gray"),
                  QStringLiteral("-png"), file, pages.filePath(QStringLiteral("page"))});
    if (!render.waitForFinished(kPdftoppmMilliseconds) || render.exitStatus() != QProcess::NormalExit ||
        render.exitCode() != 0) {
        const QString why = render.error() == QProcess::FailedToStart
                                ? QStringLiteral("pdftoppm (Debian package poppler-utils) is not installed")
                                : QString::fromLocal8Bit(render.readAllStandardError()).trimmed();
        throw std::runtime_error("cannot render the pages of " + file.toStdString() + ": " + why.toStdString());
    }
    QStringList names = QDir(pages.path()).entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
    // pdftoppm numbers pages with as many digits as the last needs, so names sort in page order.
    std::vector<QImage> images;
    for (const QString& name : names) {
        images.emplace_back(pages.filePath(name));
    }
    return images;
}

std::vector<QImage> imagesOf(const std::string& file) {
    const QString path = QString::fromStdString(file);
    if (path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
        return pdfPages(path);
    }
    QImage image(path);
    if (image.isNull()) {
        throw std::runtime_error("cannot read the image " + file);
    }
    return {image};
}

} // namespace

std::vector<std::string> payloadsFromImages(const std::vector<std::string>& files) {
    std::vector<symbols::Decoded> found;
    for (const std::string& file : files) {
        std::size_t before = found.size();
        for (const QImage& image : imagesOf(file)) {
            const auto symbols = symbols::decodeImage(image);
            found.insert(found.end(), symbols.begin(), symbols.end());
        }
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
