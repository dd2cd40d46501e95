#include "results/report_document.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTextOption>
#include <algorithm>
#include <vector>

#include "results/document_part.h"

namespace kijunchi {

namespace {

QFont documentFont(double points, bool bold = false) {
    QFont font(QStringLiteral("IPAGothic"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// One thing on a page: a line of text or a picture.
struct Block {
    QString text;
    QFont font;
    const DocumentPart* part = nullptr;
    int picture = -1;
    double height = 0;
    double scale = 1;
    double spaceBefore = 0;
    int page = 0;
    double top = 0;
};

}  // namespace

int paintReportDocument(QPagedPaintDevice& device, const QStringList& description,
                        const QList<const DocumentPart*>& parts) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(20, 15, 20, 15), QPageLayout::Millimeter));
    QPainter painter;
    if (!painter.begin(&device)) return 0;
    const double width = device.width();
    const double height = device.height();
    const double mm = device.logicalDpiY() / 25.4;

    const QFont title = documentFont(14, true);
    const QFont body = documentFont(10);
    const QFont heading = documentFont(11, true);
    const QFont mono = documentFont(9);
    const QFont footer = documentFont(9);
    auto lineHeight = [&](const QFont& font) { return QFontMetricsF(font, &device).lineSpacing(); };

    std::vector<Block> blocks;
    auto addLine = [&](const QString& text, const QFont& font, double spaceBefore = 0) {
        Block block;
        block.text = text;
        block.font = font;
        block.height = lineHeight(font);
        block.spaceBefore = spaceBefore;
        blocks.push_back(block);
    };
    for (int i = 0; i < description.size(); ++i)
        addLine(description[i], i == 0 ? title : body, i == 1 ? 3 * mm : 0);
    for (const DocumentPart* part : parts) {
        const QString text = part->partText();
        const int pictures = part->pictureCount();
        if (text.isEmpty() && pictures == 0) continue;
        addLine(part->partTitle(), heading, 8 * mm);
        if (!text.isEmpty()) {
            QStringList lines = QString(text)
                                    .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                    .split(QLatin1Char('\n'));
            while (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
            for (int i = 0; i < lines.size(); ++i) addLine(lines[i], mono, i == 0 ? 2 * mm : 0);
        }
        for (int p = 0; p < pictures; ++p) {
            const QSize natural = part->pictureSize(p);
            if (natural.isEmpty()) continue;
            Block block;
            block.part = part;
            block.picture = p;
            block.scale = std::min(width / natural.width(), height * 0.45 / natural.height());
            block.height = natural.height() * block.scale;
            block.spaceBefore = 3 * mm;
            blocks.push_back(block);
        }
    }

    // Pages: a block that does not fit goes to the next page.
    const double footerHeight = lineHeight(footer) + 4 * mm;
    const double bottom = height - footerHeight;
    int page = 0;
    double y = 0;
    for (Block& block : blocks) {
        double top = y > 0 ? y + block.spaceBefore : 0;
        if (top + block.height > bottom && y > 0) {
            ++page;
            top = 0;
        }
        block.page = page;
        block.top = top;
        y = top + block.height;
    }
    const int pages = page + 1;

    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTabStopDistance(QFontMetricsF(mono, &device).horizontalAdvance(QLatin1Char('0')) * 8);
    std::size_t next = 0;
    for (int p = 0; p < pages; ++p) {
        if (p > 0) device.newPage();
        for (; next < blocks.size() && blocks[next].page == p; ++next) {
            const Block& block = blocks[next];
            if (block.part) {
                const QSize natural = block.part->pictureSize(block.picture);
                painter.save();
                painter.translate(0, block.top);
                painter.scale(block.scale, block.scale);
                painter.setClipRect(QRect(QPoint(0, 0), natural));
                block.part->paintPicture(block.picture, painter, natural);
                painter.restore();
                painter.setPen(QPen(Qt::gray, 0));
                painter.drawRect(QRectF(0, block.top, natural.width() * block.scale, block.height));
            } else {
                painter.setFont(block.font);
                painter.setPen(Qt::black);
                painter.drawText(QRectF(0, block.top, width, block.height), block.text, option);
            }
        }
        painter.setFont(footer);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, height - lineHeight(footer), width, lineHeight(footer)),
                         Qt::AlignHCenter, QStringLiteral("%1 / %2").arg(p + 1).arg(pages));
    }
    painter.end();
    return pages;
}

QString writeBytes(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        QString error = file.errorString();
        file.cancelWriting();
        return error;
    }
    if (!file.commit()) return file.errorString();
    return {};
}

QString writeReportPdf(const QString& path, const QStringList& description,
                       const QList<const DocumentPart*>& parts) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(600);
        pdf.setCreator(QStringLiteral("基準値"));
        pdf.setTitle(QStringLiteral("基準値　解析レポート"));
        if (paintReportDocument(pdf, description, parts) == 0)
            return QStringLiteral("PDFを作れませんでした。");
    }
    return writeBytes(path, buffer.data());
}

QString writePicture(const QString& path, const DocumentPart& part, int picture, QSize size) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setTitle(part.pictureName(picture));
        QPainter painter;
        if (!painter.begin(&svg)) return QStringLiteral("SVGを作れませんでした。");
        part.paintPicture(picture, painter, size);
        painter.end();
    } else {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull()) return QStringLiteral("この大きさの画像を作れません。");
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            part.paintPicture(picture, painter, size);
        }
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image)) return writer.errorString();
    }
    return writeBytes(path, buffer.data());
}

}  // namespace kijunchi
