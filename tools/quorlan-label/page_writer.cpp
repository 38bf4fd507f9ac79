#include "page_writer.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <memory>

namespace quorlan::label_tool {

namespace {

constexpr double kMetresPerInch = 0.0254;

std::string text(const QString& string) {
    return string.toStdString();
}

void writePdf(QIODevice& device, const PageSet& pages) {
    const Layout& layout = pages.layout;
    QPdfWriter writer(&device);
    writer.setResolution(layout.dpi());
    writer.setPageSize(
        QPageSize(QSizeF(layout.millimetres(layout.pageWidth()), layout.millimetres(layout.pageHeight())),
                  QPageSize::Millimeter));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator(QStringLiteral("quorlan-label"));
    QPainter painter(&writer);
    for (int page = 0; page < pages.count; ++page) {
        if (page > 0) {
            writer.newPage();
        }
        pages.paint(painter, page);
    }
}

bool writeImage(QIODevice& device, const PageSet& pages, int page) {
    const Layout& layout = pages.layout;
    QImage image(layout.pageWidth(), layout.pageHeight(), QImage::Format_Grayscale8);
    const int dotsPerMetre = static_cast<int>(layout.dpi() / kMetresPerInch);
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        pages.paint(painter, page);
    }
    return image.save(&device, "PNG");
}

void writeSvg(QIODevice& device, const PageSet& pages, int page) {
    const Layout& layout = pages.layout;
    QSvgGenerator generator;
    generator.setOutputDevice(&device);
    generator.setResolution(layout.dpi());
    generator.setSize(QSize(layout.pageWidth(), layout.pageHeight()));
    generator.setViewBox(QRect(0, 0, layout.pageWidth(), layout.pageHeight()));
    generator.setTitle(QStringLiteral("Quorlan labels"));
    QPainter painter(&generator);
    painter.fillRect(0, 0, layout.pageWidth(), layout.pageHeight(), Qt::white);
    pages.paint(painter, page);
}

} // namespace

std::optional<PageFormat> pageFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf")) {
        return PageFormat::Pdf;
    }
    if (suffix == QLatin1String("png")) {
        return PageFormat::Png;
    }
    if (suffix == QLatin1String("svg")) {
        return PageFormat::Svg;
    }
    return std::nullopt;
}

QStringList pageFiles(const QString& path, PageFormat format, int pages) {
    if (format == PageFormat::Pdf || pages <= 1) {
        return {path};
    }
    const QString suffix = QFileInfo(path).suffix();
    const QString stem = path.left(path.size() - suffix.size() - 1);
    QStringList files{path};
    for (int page = 2; page <= pages; ++page) {
        files << stem + QLatin1Char('-') + QString::number(page) + QLatin1Char('.') + suffix;
    }
    return files;
}

void checkWritable(const QString& path) {
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir()) {
        throw OutputError("cannot write " + text(path) + ": the folder " + text(folder.filePath()) + " does not exist");
    }
    if (!folder.isWritable() || (info.exists() && (!info.isFile() || !info.isWritable()))) {
        throw OutputError("cannot write " + text(path) + ": permission denied");
    }
}

void writePages(const QString& path, PageFormat format, const PageSet& pages) {
    const QStringList files = pageFiles(path, format, pages.count);
    std::vector<std::unique_ptr<QSaveFile>> saves;
    for (int page = 0; page < files.size(); ++page) {
        auto& save = saves.emplace_back(std::make_unique<QSaveFile>(files[page]));
        if (!save->open(QIODevice::WriteOnly)) {
            throw OutputError("cannot write " + text(files[page]) + ": " + text(save->errorString()));
        }
        bool written = true;
        switch (format) {
        case PageFormat::Pdf:
            writePdf(*save, pages);
            break;
        case PageFormat::Png:
            written = writeImage(*save, pages, page);
            break;
        case PageFormat::Svg:
            writeSvg(*save, pages, page);
            break;
        }
        if (!written || save->error() != QFileDevice::NoError) {
            throw OutputError("cannot write " + text(files[page]) + ": " + text(save->errorString()));
        }
    }
    // QSaveFile drops its temporary file when it is destroyed uncommitted, so each thrown error
    // above leaves nothing; a commit that fails takes back those already made.
    for (std::size_t n = 0; n < saves.size(); ++n) {
        if (!saves[n]->commit()) {
            for (std::size_t made = 0; made < n; ++made) {
                QFile::remove(files[static_cast<int>(made)]);
            }
            throw OutputError("cannot write " + text(files[static_cast<int>(n)]) + ": " +
                              text(saves[n]->errorString()));
        }
    }
}

} // namespace quorlan::label_tool
