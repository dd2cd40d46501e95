// --pdf through kijunchi-pdf: the data set kijunchi-report hands over arrives whole (the
// analysis of the copy gives every text of the original), a damaged request is refused, and
// whatever the program does (missing, failing, ending without reading) comes back as one message.
#include "cli/pdf_program.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "evaluation/evaluation_text.h"
#include "support/recording_canvas.h"
#include "support/recording_report.h"
#include "support/temp_files.h"

namespace kijunchi {
namespace {

using testing::TempFolder;
const std::string kData = KIJUNCHI_TEST_DATA;

struct Handed {
    std::string path;
    PdfHead head;
    std::unique_ptr<AnalysisStore> store;
};

// What kijunchi-report gives the PDF writer for these arguments.
Handed handedOver(std::vector<std::string> args) {
    Handed handed;
    args.insert(args.begin(), {"--pdf", "out.pdf"});
    const CommandOutput out = runReportCommand(
        args, textReader(""),
        [&](const std::string& path, const AnalysisStore& store, const PdfHead& head) {
            handed = {path, head, std::make_unique<AnalysisStore>(store)};
            return std::string();
        });
    EXPECT_EQ(out.exitCode, 0) << out.err;
    return handed;
}

// Every text an analysis of the store shows.
std::vector<std::string> analysed(AnalysisStore& store) {
    testing::RecordingCanvas canvas;
    testing::RecordingReport report;
    const RunStatus status = runAnalysis(store, canvas, report);
    std::vector<std::string> texts = canvas.printed;
    texts.push_back(report.last());
    texts.push_back(evaluationTextAfterRun(store, status));
    return texts;
}

TEST(PdfProgram, TheRequestCarriesTheDataSetWhole) {
    const std::vector<std::vector<std::string>> cases = {
        {kData + "/calcium_240.txt"},
        {"--analyte", "カルシウム", "--author", "山田", "--exclude-flagged", "tukey", "--exclude",
         "5", "--lambda", "0", "--classes", "9", kData + "/calcium_240.txt"},
    };
    for (const auto& args : cases) {
        const Handed handed = handedOver(args);
        ASSERT_TRUE(handed.store);
        const std::string bytes = pdfRequestBytes(handed.path, *handed.store, handed.head);
        const std::optional<PdfRequest> request = readPdfRequest(bytes);
        ASSERT_TRUE(request) << args.front();
        EXPECT_EQ(request->path, "out.pdf");
        EXPECT_EQ(request->head.description, handed.head.description);
        EXPECT_EQ(request->head.runningHead, handed.head.runningHead);
        AnalysisStore original = *handed.store;
        EXPECT_EQ(analysed(*request->store), analysed(original)) << args.front();

        // Cut anywhere or followed by more, it is no request.
        for (const std::size_t cut :
             {std::size_t{0}, std::size_t{30}, bytes.size() / 2, bytes.size() - 1})
            EXPECT_FALSE(readPdfRequest(std::string_view(bytes).substr(0, cut))) << cut;
        EXPECT_FALSE(readPdfRequest(bytes + "x"));
    }
}

TEST(PdfProgram, WhatTheProgramSaysComesBackAsOneMessage) {
    TempFolder folder;
    const auto script = [&](const std::string& name, const std::string& body) {
        const std::string path = folder.write(name, "#!/bin/sh\n" + body + "\n");
        ::chmod(path.c_str(), 0755);
        return path;
    };
    const Handed handed = handedOver({kData + "/calcium_240.txt"});
    const struct {
        const char* name;
        std::string program;
        std::string says;  // "" for success
    } cases[] = {
        {"written", script("ok", "cat >/dev/null"), ""},
        {"its own message",
         script("full", "cat >/dev/null; echo 'ファイルに書き込めません: x'; exit 2"),
         "ファイルに書き込めません: x"},
        {"ended without a word", script("crash", "cat >/dev/null; exit 3"), "途中で終わりました"},
        // The request (over half a megabyte) meets a closed pipe: no signal ends the caller.
        {"never read", script("deaf", "exit 2"), "途中で終わりました"},
        {"missing", folder.file("no-such-program"), "kijunchi-pdf"},
    };
    for (const auto& c : cases) {
        const std::string message =
            pdfProgramWriter(c.program)(handed.path, *handed.store, handed.head);
        if (c.says.empty())
            EXPECT_EQ(message, "") << c.name;
        else
            EXPECT_NE(message.find(c.says), std::string::npos) << c.name << ": " << message;
        EXPECT_EQ(message.find('\n'), std::string::npos) << c.name;
    }
}

}  // namespace
}  // namespace kijunchi
