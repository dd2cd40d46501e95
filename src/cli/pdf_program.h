#pragma once
// --pdf without the desktop program in kijunchi-report: the document is drawn by a program of
// its own, kijunchi-pdf, started only when a PDF is asked for. kijunchi-report hands it the
// analysed data set and the document's head on its standard input; kijunchi-pdf writes the
// file and says on its standard output why it could not.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/store.h"
#include "cli/report_command.h"

namespace kijunchi {

inline constexpr const char* kPdfProgramName = "kijunchi-pdf";

// What kijunchi-report hands to kijunchi-pdf.
struct PdfRequest {
    std::string path;
    PdfHead head;
    std::unique_ptr<AnalysisStore> store;
};
std::string pdfRequestBytes(const std::string& path, const AnalysisStore& store,
                            const PdfHead& head);
// Nothing when the bytes are not a whole request of this build.
std::optional<PdfRequest> readPdfRequest(std::string_view bytes);

// The writer that runs the program at programPath (kijunchi-pdf) for each document.
PdfWriter pdfProgramWriter(std::string programPath);
// kijunchi-pdf in the folder of the running program.
std::string pdfProgramBesideThisOne();

}  // namespace kijunchi
