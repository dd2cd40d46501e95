#include "gui/results/report_document.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <vector>

#include "files/file_access.h"
#include "files/report_export.h"
#include "gui/results/document_part.h"

namespace kijunchi {

QStringList wrapped(QString text, double width, const QFontMetricsF& metrics, QString indent) {
    if (metrics.horizontalAdvance(indent) > width / 2) indent.clear();
    QStringList lines;
    qsizetype start = 0;  // the indent of a line that goes on: never broken within
    while (text.size() > start + 1 && metrics.horizontalAdvance(text) > width) {
        qsizetype fit = start + 1;
        while (fit < text.size() && metrics.horizontalAdvance(text.left(fit + 1)) <= width) ++fit;
        if (fit < text.size() && text[fit].isLowSurrogate()) fit += fit > start + 1 ? -1 : 1;
        // A blank far back (the one inside a log entry's time) would waste the line.
        const qsizetype blank = text.lastIndexOf(QLatin1Char(' '), fit);
        if (blank > start && blank - start > (fit - start) / 2) {
            lines << text.left(blank);
            text = indent + text.mid(blank + 1);
        } else {
            lines << text.left(fit);
            text = indent + text.mid(fit);
        }
        start = indent.size();
    }
    lines << text;
    return lines;
}

QString fittedHead(const QString& head, double width, const QFontMetricsF& metrics) {
    if (metrics.horizontalAdvance(head) <= width) return head;
    const QString gap = QStringLiteral("\u3000\u3000");
    QStringList pieces = head.split(gap);
    std::vector<bool> shortened(static_cast<std::size_t>(pieces.size()), false);
    while (metrics.horizontalAdvance(pieces.join(gap)) > width) {
        qsizetype widest = -1;
        double most = 0;
        for (qsizetype i = 0; i < pieces.size(); ++i) {
            const double advance = metrics.horizontalAdvance(pieces[i]);
            if (!shortened[static_cast<std::size_t>(i)] && advance > most) {
                widest = i;
                most = advance;
            }
        }
        if (widest < 0) return metrics.elidedText(pieces.join(gap), Qt::ElideRight, width);
        const QString piece = pieces[widest];
        pieces[widest].clear();
        // A sixth of the width at least, should another piece be as long (an approver's name).
        const double room = width - metrics.horizontalAdvance(pieces.join(gap));
        pieces[widest] = metrics.elidedText(piece, Qt::ElideMiddle, std::max(width / 6, room));
        shortened[static_cast<std::size_t>(widest)] = true;
    }
    return pieces.join(gap);
}

namespace {

QFont documentFont(double points, bool bold = false) {
    QFont font(QStringLiteral("IPAGothic"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// TAB stops every eight widths of "0", as the statistics window sets them: where x stands after
// a TAB.
double nextTabStop(double x, const QFontMetricsF& metrics) {
    const double tab = metrics.horizontalAdvance(QLatin1Char('0')) * 8;
    return (std::floor(x / tab + 1e-9) + 1) * tab;
}

// A line with TABs as it is when it fits in width; else it goes on at the TAB before the piece
// that would pass the width, on a line that starts at the first stop (a piece too wide even there
// is cut into lines, each starting at that stop).
QStringList tabbedLines(const QString& line, double width, const QFontMetricsF& metrics) {
    const QString tab(QLatin1Char('\t'));
    const double indent = nextTabStop(0, metrics);
    QStringList lines;
    QString current;
    double x = 0;  // where the current line ends
    const QStringList pieces = line.split(QLatin1Char('\t'));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const double start = i == 0 ? 0 : nextTabStop(x, metrics);
        if (start + metrics.horizontalAdvance(pieces[i]) <= width) {
            current += (i == 0 ? QString() : tab) + pieces[i];
            x = start + metrics.horizontalAdvance(pieces[i]);
            continue;
        }
        const QStringList cut = wrapped(pieces[i], width - (i == 0 ? 0 : indent), metrics);
        if (start > indent) {  // not at the first stop already
            lines << current;
            current.clear();
        }
        current += (i == 0 ? QString() : tab) + cut[0];
        for (qsizetype k = 1; k < cut.size(); ++k) {
            lines << current;
            current = (i == 0 ? QString() : tab) + cut[k];
        }
        x = (i == 0 ? 0 : indent) + metrics.horizontalAdvance(cut.back());
    }
    lines << current;
    return lines;
}

// A cell of a table row: its lines, where its column starts and how wide it is.
struct Cell {
    QStringList lines;
    double x = 0;
    double width = 0;
    bool right = false;  // numbers stand at the right of their column
};

// One thing on a page: a line of text, a row of a table or a picture.
struct Block {
    QString text;
    QFont font;
    std::vector<Cell> cells;  // a table row when not empty
    bool rule = false;        // a table's heading row, ruled below
    int heading = -1;         // the heading row of the band, set again above a row that
                              // starts a page
    const DocumentPart* part = nullptr;
    int picture = -1;
    double height = 0;
    double scale = 1;
    double spaceBefore = 0;
    bool keepWithNext = false;  // a heading stays on the page of what follows it
    QSize pictureSize;          // the size a picture is drawn at, before scaling to the page
    int page = 0;
    double top = 0;
};

// The rows of a table (TAB between cells, the first row its headings) as blocks. Each column
// is as wide as its widest cell; a key column takes at most a quarter of the page and any
// other column at most the room beside the keys, wider cells going onto more lines. Columns
// that do not fit beside each other go into further bands, each with the key columns first.
void addTable(std::vector<Block>& blocks, const QStringList& lines, int keyColumns,
              const QFont& font, const QFontMetricsF& metrics, double pageWidth, double spaceFirst,
              double spaceBetween) {
    std::vector<QStringList> rows;
    qsizetype columns = 0;
    for (const QString& line : lines) {
        rows.push_back(line.split(QLatin1Char('\t')));
        columns = std::max(columns, rows.back().size());
    }
    if (columns == 0) return;
    for (QStringList& row : rows)
        while (row.size() < columns) row << QString();
    const int keys = std::clamp(keyColumns, 0, static_cast<int>(columns) - 1);
    const double gap = metrics.horizontalAdvance(QStringLiteral("00"));
    std::vector<double> widths(static_cast<std::size_t>(columns), 0);
    // A column is set to the right when it holds numbers and nothing else.
    std::vector<int> numbers(static_cast<std::size_t>(columns), 0);
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (qsizetype c = 0; c < columns; ++c) {
            const QString& cell = rows[r][c];
            auto& width = widths[static_cast<std::size_t>(c)];
            width = std::max(width, metrics.horizontalAdvance(cell));
            if (r == 0 || cell.isEmpty()) continue;
            auto& count = numbers[static_cast<std::size_t>(c)];
            bool number = false;
            cell.toDouble(&number);
            count = number && count >= 0 ? count + 1 : -1;
        }
    double keyWidth = 0;
    for (int c = 0; c < keys; ++c) {
        auto& width = widths[static_cast<std::size_t>(c)];
        width = std::min(width, pageWidth / 4);
        keyWidth += width + gap;
    }
    for (qsizetype c = keys; c < columns; ++c) {
        auto& width = widths[static_cast<std::size_t>(c)];
        width = std::min(width, pageWidth - keyWidth);
    }

    const double lineHeight = metrics.lineSpacing();
    qsizetype first = keys;
    bool firstBand = true;
    while (first < columns) {
        std::vector<qsizetype> band;
        for (int c = 0; c < keys; ++c) band.push_back(c);
        double right = keyWidth;
        qsizetype c = first;
        do {
            band.push_back(c);
            right += widths[static_cast<std::size_t>(c)] + gap;
            ++c;
        } while (c < columns && right + widths[static_cast<std::size_t>(c)] <= pageWidth);
        first = c;

        const int heading = static_cast<int>(blocks.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            Block block;
            block.font = font;
            double x = 0;
            qsizetype height = 1;
            for (qsizetype column : band) {
                Cell cell;
                cell.x = x;
                cell.width = widths[static_cast<std::size_t>(column)];
                cell.right = numbers[static_cast<std::size_t>(column)] > 0;
                cell.lines = wrapped(rows[r][column], cell.width, metrics);
                height = std::max(height, cell.lines.size());
                x += cell.width + gap;
                block.cells.push_back(cell);
            }
            block.height = static_cast<double>(height) * lineHeight;
            if (r == 0) {
                block.rule = true;
                block.height += lineHeight / 3;  // room for the rule
                block.keepWithNext = true;
                block.spaceBefore = firstBand ? spaceFirst : spaceBetween;
            } else {
                block.heading = heading;
            }
            blocks.push_back(block);
        }
        firstBand = false;
    }
}

}  // namespace

int paintReportDocument(QPagedPaintDevice& device, const QStringList& description,
                        const QList<const DocumentPart*>& parts, const QString& runningHead) {
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
    // A long line of the description (an entry of the study's log) goes on under its start.
    for (int i = 0; i < description.size(); ++i) {
        const QFont& font = i == 0 ? title : body;
        const QString& line = description[i];
        qsizetype indent = 0;
        while (indent < line.size() && line[indent] == QChar(0x3000)) ++indent;
        double spaceBefore = i == 1 ? 3 * mm : 0;
        for (const QString& piece : wrapped(line, width, QFontMetricsF(font, &device),
                                            line.left(indent) + QChar(0x3000))) {
            addLine(piece, font, spaceBefore);
            spaceBefore = 0;
        }
    }
    for (const DocumentPart* part : parts) {
        const QString text = part->partText();
        const int pictures = part->pictureCount();
        if (text.isEmpty() && pictures == 0) continue;
        addLine(part->partTitle(), heading, 8 * mm);
        blocks.back().keepWithNext = true;
        if (!text.isEmpty()) {
            QStringList lines = QString(text)
                                    .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                                    .split(QLatin1Char('\n'));
            while (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
            const DocumentPart::TextTable table = part->partTable();
            const qsizetype plain = table.firstLine < 0
                                        ? lines.size()
                                        : std::min<qsizetype>(table.firstLine, lines.size());
            const qsizetype end = table.lastLine < 0
                                      ? lines.size()
                                      : std::clamp<qsizetype>(table.lastLine, plain, lines.size());
            // A line of text without TABs (advice, a verdict) wraps within the page.
            const QFontMetricsF monoMetrics(mono, &device);
            auto addText = [&](const QString& line, double spaceBefore) {
                for (const QString& piece : line.contains(QLatin1Char('\t'))
                                                ? tabbedLines(line, width, monoMetrics)
                                                : wrapped(line, width, monoMetrics)) {
                    addLine(piece, mono, spaceBefore);
                    spaceBefore = 0;
                }
            };
            for (qsizetype i = 0; i < plain; ++i) addText(lines[i], i == 0 ? 2 * mm : 0);
            if (plain < end)
                addTable(blocks, lines.mid(plain, end - plain), table.keyColumns, mono,
                         QFontMetricsF(mono, &device), width, plain == 0 ? 2 * mm : 0, 5 * mm);
            for (qsizetype i = end; i < lines.size(); ++i) addText(lines[i], i == end ? 2 * mm : 0);
        }
        for (int p = 0; p < pictures; ++p) {
            if (part->pictureSize(p).isEmpty()) continue;
            // Drawn anew in the proportions of a page rather than those of the window.
            Block block;
            block.part = part;
            block.picture = p;
            block.pictureSize = part->pagePictureSize(p).expandedTo(QSize(1, 1));
            // A window's pictures stay together on one page (the evaluation's histogram and
            // Q-Q plot): two of them take at most 0.42 of the page's height each.
            block.keepWithNext = p + 1 < pictures;
            const double share = pictures > 1 ? 0.42 : 0.45;
            block.scale = std::min(width / block.pictureSize.width(),
                                   height * share / block.pictureSize.height());
            block.height = block.pictureSize.height() * block.scale;
            block.spaceBefore = 3 * mm;
            blocks.push_back(block);
        }
    }

    // Pages: a block that does not fit goes to the next page.
    const double footerHeight = lineHeight(footer) + 4 * mm;
    const double headHeight = runningHead.isEmpty() ? 0 : lineHeight(footer) + 4 * mm;
    const double bottom = height - footerHeight - headHeight;
    // A table row that starts a page has the heading row of its band set again above it.
    std::vector<Block> placed;
    placed.reserve(blocks.size());
    int page = 0;
    double y = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        Block block = blocks[i];
        double top = y > 0 ? y + block.spaceBefore : 0;
        double needed = block.height;
        if (block.keepWithNext && i + 1 < blocks.size())
            needed += blocks[i + 1].spaceBefore + blocks[i + 1].height;
        if (top + needed > bottom && y > 0) {
            ++page;
            top = 0;
        }
        if (top == 0 && block.heading >= 0) {
            Block heading = blocks[static_cast<std::size_t>(block.heading)];
            heading.page = page;
            heading.top = 0;
            top = heading.height;
            placed.push_back(heading);
        }
        block.page = page;
        block.top = top;
        y = top + block.height;
        placed.push_back(block);
    }
    blocks = std::move(placed);
    const int pages = page + 1;

    auto drawLine = [&](const Block& block) {
        const QFontMetricsF metrics(block.font, &device);
        double x = 0;
        const double baseline = block.top + metrics.ascent();
        for (const QString& piece : block.text.split(QLatin1Char('\t'))) {
            painter.drawText(QPointF(x, baseline), piece);
            x = nextTabStop(x + metrics.horizontalAdvance(piece), metrics);
        }
    };
    auto drawRow = [&](const Block& block) {
        const QFontMetricsF metrics(block.font, &device);
        for (const Cell& cell : block.cells) {
            double baseline = block.top + metrics.ascent();
            for (const QString& line : cell.lines) {
                const double x =
                    cell.right ? cell.x + cell.width - metrics.horizontalAdvance(line) : cell.x;
                painter.drawText(QPointF(x, baseline), line);
                baseline += metrics.lineSpacing();
            }
        }
        if (block.rule) {
            const Cell& last = block.cells.back();
            const double ruleY = block.top + block.height - metrics.lineSpacing() / 6;
            painter.setPen(QPen(Qt::black, 0));
            painter.drawLine(QPointF(0, ruleY), QPointF(last.x + last.width, ruleY));
        }
    };
    // A long 項目名 (or approver) is shortened in the head; the description gives it whole.
    const QString head = fittedHead(runningHead, width, QFontMetricsF(footer, &device));
    std::size_t next = 0;
    for (int p = 0; p < pages; ++p) {
        if (p > 0) device.newPage();
        if (headHeight > 0) {
            painter.setFont(footer);
            painter.setPen(Qt::black);
            const double line = lineHeight(footer);
            painter.drawText(QRectF(0, 0, width, line), Qt::AlignLeft | Qt::AlignVCenter, head);
            painter.setPen(QPen(Qt::gray, 0));
            painter.drawLine(QPointF(0, line + mm), QPointF(width, line + mm));
        }
        painter.save();
        painter.translate(0, headHeight);
        for (; next < blocks.size() && blocks[next].page == p; ++next) {
            const Block& block = blocks[next];
            if (block.part) {
                const QSize natural = block.pictureSize;
                painter.save();
                painter.translate(0, block.top);
                painter.scale(block.scale, block.scale);
                painter.setClipRect(QRect(QPoint(0, 0), natural));
                block.part->paintPicture(block.picture, painter, natural);
                painter.restore();
                painter.setPen(QPen(Qt::gray, 0));
                painter.drawRect(QRectF(0, block.top, natural.width() * block.scale, block.height));
            } else if (!block.cells.empty()) {
                painter.setFont(block.font);
                painter.setPen(Qt::black);
                drawRow(block);
            } else {
                painter.setFont(block.font);
                painter.setPen(Qt::black);
                drawLine(block);
            }
        }
        painter.restore();
        painter.setFont(footer);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, height - lineHeight(footer), width, lineHeight(footer)),
                         Qt::AlignHCenter, QStringLiteral("%1 / %2").arg(p + 1).arg(pages));
    }
    painter.end();
    return pages;
}

QString outputRefused(const QString& path) {
    if (outputRefusal(QFile::encodeName(path).toStdString()).empty()) return {};
    return QStringLiteral("通常のファイルではない（装置やパイプの）ため、置き換えません。");
}

QString writeBytes(const QString& path, const QByteArray& bytes) {
    // As every output of the program: never in place of a device or a pipe, and written whole
    // before it takes the old file's place.
    if (QString refused = outputRefused(path); !refused.isEmpty()) return refused;
    const std::string local = QFile::encodeName(path).toStdString();
    const std::string why = writeBytesWhole(
        local, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return QString::fromLocal8Bit(why.c_str());
}

QString writeReportPdf(const QString& path, const QStringList& description,
                       const QList<const DocumentPart*>& parts, const QString& runningHead) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(600);
        pdf.setCreator(QStringLiteral("基準値"));
        pdf.setTitle(QString::fromUtf8(kReportTitle));
        if (paintReportDocument(pdf, description, parts, runningHead) == 0)
            return QStringLiteral("PDFを作れませんでした。");
    }
    return writeBytes(path, buffer.data());
}

namespace {

// A picture larger than the designed 640 × 400 is drawn at a smaller size in its proportions and
// scaled up, so that its text grows with it instead of staying at the size of the screen's.
void paintGrown(const DocumentPart& part, int picture, QPainter& painter, QSize size) {
    const double grow = std::max(1.0, std::min(size.width() / 640.0, size.height() / 400.0));
    const QSize drawn(static_cast<int>(std::lround(size.width() / grow)),
                      static_cast<int>(std::lround(size.height() / grow)));
    painter.save();
    painter.scale(static_cast<double>(size.width()) / drawn.width(),
                  static_cast<double>(size.height()) / drawn.height());
    part.paintPicture(picture, painter, drawn);
    painter.restore();
}

// The SVG writer puts each run of one script (katakana, hiragana, kanji) into a text element
// of its own: "ヒストグラム", "と", "基準範囲". Consecutive elements that differ only in x are
// joined into one, so that every label is one string that a reader can find and copy whole.
QByteArray joinTextRuns(const QByteArray& svg) {
    static const QRegularExpression element(
        QStringLiteral("<text([^>]*?) x=\"[^\"]*\" y=\"([^\"]*)\"([^>]*)>([^<]*)</text>"));
    const QString text = QString::fromUtf8(svg);
    QString joined;
    joined.reserve(text.size());
    qsizetype copied = 0;
    QString key;  // the attributes but x of the element that is open, empty when none is
    QRegularExpressionMatchIterator it = element.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const QString between = text.mid(copied, match.capturedStart() - copied);
        const QString attributes = match.captured(1) + QLatin1Char('|') + match.captured(2) +
                                   QLatin1Char('|') + match.captured(3);
        if (!key.isEmpty() && key == attributes && between.trimmed().isEmpty()) {
            // Into the element before: its content grows by this one's.
            joined.insert(joined.size() - static_cast<qsizetype>(sizeof("</text>") - 1),
                          match.captured(4));
        } else {
            joined += between;
            joined += match.captured(0);
            key = attributes;
        }
        copied = match.capturedEnd();
    }
    joined += text.mid(copied);
    return joined.toUtf8();
}

}  // namespace

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
        paintGrown(part, picture, painter, size);
        painter.end();
        return writeBytes(path, joinTextRuns(buffer.data()));
    } else {
        QImage image(size, QImage::Format_RGB32);
        if (image.isNull()) return QStringLiteral("この大きさの画像を作れません。");
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            paintGrown(part, picture, painter, size);
        }
        QImageWriter writer(&buffer, "png");
        if (!writer.write(image)) return writer.errorString();
    }
    return writeBytes(path, buffer.data());
}

}  // namespace kijunchi
