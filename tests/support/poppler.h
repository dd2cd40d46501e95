#pragma once
// Running a tool of poppler-utils (pdftotext, pdftoppm) on a PDF a test wrote.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <optional>

namespace kijunchi::testing {

// Runs a poppler tool; its standard output, or nothing when the tool is missing.
inline std::optional<QByteArray> poppler(const QString& tool, const QStringList& args) {
    if (QStandardPaths::findExecutable(tool).isEmpty()) return std::nullopt;
    QProcess process;
    process.start(tool, args);
    process.waitForFinished(60000);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

}  // namespace kijunchi::testing
