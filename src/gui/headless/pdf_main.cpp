// kijunchi-pdf: the program kijunchi-report runs for --pdf. It reads the analysed data set and
// the document's head from standard input, draws the document from the core's models as the
// desktop program prints it, without a display, and writes it to the path it was given. On
// standard output the one-line message when it could not; exit status 0 or 2.

#include <QApplication>
#include <QStringList>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/pdf_program.h"
#include "cli/report_command.h"
#include "gui/headless/model_document.h"
#include "gui/widgets/app_setup.h"

namespace {

int fail(const std::string& message) {
    std::fputs((message + "\n").c_str(), stdout);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string bytes;
    const bool read = !kijunchi::readWholeInput(kijunchi::standardInputReader(), bytes);
    const std::optional<kijunchi::PdfRequest> request =
        read ? kijunchi::readPdfRequest(bytes) : std::nullopt;
    if (!request) return fail("PDFを書くためのデータを読めません。");

    // The offscreen platform when there is no display (and no platform was chosen).
    const bool display = std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
    if (!display && !std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Standard error carries the command's own one-line messages; the toolkit's notes on its
    // surroundings ("XDG_RUNTIME_DIR not set") are not for the user of a command line.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    });
    QApplication app(argc, argv);
    kijunchi::setUpApplication(app);

    QStringList description;
    for (const std::string& line : request->head.description)
        description << QString::fromStdString(line);
    const QString path = QString::fromStdString(request->path);
    const QString error = kijunchi::writeAnalysisPdf(
        path, *request->store, description, QString::fromStdString(request->head.runningHead));
    if (error.isEmpty()) return 0;
    return fail("ファイルに書き込めません: " + request->path + "（" + error.toStdString() + "）");
}
