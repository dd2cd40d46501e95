#pragma once
// kijunchi-report: the headless front end over the core.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analysis/store.h"
#include "input/paste_reader.h"

namespace kijunchi {

struct CommandOutput {
    int exitCode = 0;
    std::string out;  // standard output
    std::string err;  // standard error
};

// Reads up to size bytes into buffer: the number of bytes read, 0 at the end of the input, or
// -1 when the input cannot be read.
using InputReader = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;

// A reader over a text held in memory.
InputReader textReader(std::string text);
// The process's standard input, a read at a time (an interrupted read is tried again).
InputReader standardInputReader();

// Feeds FILE (standard input for "-") to the reader as a paste of it, without a UTF-8 byte order
// mark at its start, up to the empty line that ends the data; at most 256 MB. The message
// (exit status 2) when it cannot be read, is too large or holds a field too long for a number.
std::optional<std::string> readPastedValues(const std::string& file, const InputReader& readStdin,
                                            FieldReader& reader);

// Reads the whole of standard input into bytes (at most 256 MB): the message when it cannot be
// read or is larger.
std::optional<std::string> readWholeInput(const InputReader& readStdin, std::string& bytes);

// The head of the document --pdf writes: the lines that describe the data set and the study
// (the header, the program version, the count and the fingerprint), and the running head
// above every page's text (title, 項目名, date).
struct PdfHead {
    std::vector<std::string> description;
    std::string runningHead;
};

// Writes to path the A4 document the desktop program prints of the analysis of store (a data set
// ready to be analysed: the writer runs the analysis the document is drawn from); returns an
// empty text, or the one-line message saying why the file was not written. The command line is
// plain C++: kijunchi-report's main gives the writer that runs kijunchi-pdf (cli/pdf_program.h);
// without a writer --pdf is refused.
using PdfWriter = std::function<std::string(const std::string& path, const AnalysisStore& store,
                                            const PdfHead& head)>;

// args without the program name; readStdin is called only when the data come from standard
// input. The input is read as a stream: at most the first 5000 values are kept, the rest only
// counted, and reading stops at the empty line that ends the data.
CommandOutput runReportCommand(const std::vector<std::string>& args, const InputReader& readStdin,
                               const PdfWriter& writePdf = {});

// kijunchi-report as a whole: the indirect method, the study options or the report, by the
// arguments. Returns the exit status.
int runKijunchiReport(const std::vector<std::string>& args, const InputReader& readStdin,
                      const PdfWriter& writePdf);

// Writes the command's output to standard output and standard error; a failed write of
// standard output is reported on standard error. Returns the exit status.
int writeCommandOutput(const CommandOutput& output);

}  // namespace kijunchi
