#pragma once
// The report document: the description of the data set, then each window's text and
// pictures, laid out on A4 pages with page numbers; and the files the report goes into
// (text, CSV, PNG, SVG, PDF), written so that a failed write leaves any earlier file whole.
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class QFontMetricsF;
class QPagedPaintDevice;

namespace kijunchi {

class DocumentPart;

// The text cut into lines no wider than width: at the last blank that fits in the line's second
// half, else after the
// last character that fits (Japanese text breaks between any two characters, a surrogate pair
// never). Each line after the first begins with indent (unless it takes half the width).
QStringList wrapped(QString text, double width, const QFontMetricsF& metrics, QString indent = {});

// The running head within width: as it is when it fits; else its widest piece (the pieces stand
// between two ideographic spaces: the title, 項目名, the date, the approval) shortened in its
// middle with "…" to the room the others leave (a sixth of the width at least), then the next
// widest, until the whole fits.
QString fittedHead(const QString& head, double width, const QFontMetricsF& metrics);

// Paints the document onto the pages of device (a printer or a PDF writer), which it sets to
// A4; returns the number of pages. A running head, when given, stands above every page's text.
int paintReportDocument(QPagedPaintDevice& device, const QStringList& description,
                        const QList<const DocumentPart*>& parts, const QString& runningHead = {});

// Each returns an empty text on success, else why the file could not be written.
QString writeReportPdf(const QString& path, const QStringList& description,
                       const QList<const DocumentPart*>& parts, const QString& runningHead = {});
QString writeBytes(const QString& path, const QByteArray& bytes);
// Why no output may be written at path (a device, pipe or folder stands there); empty for a
// regular file or a new one.
QString outputRefused(const QString& path);
// PNG or SVG by the name's extension; the picture drawn at size pixels.
QString writePicture(const QString& path, const DocumentPart& part, int picture, QSize size);

}  // namespace kijunchi
