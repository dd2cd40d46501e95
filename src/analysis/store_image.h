#pragma once
// The store as bytes, for handing it to another process of the same build (kijunchi-report
// gives the data set it analysed to the program that draws its PDF): every member, numbers
// bit for bit, so that the other side's analysis runs on exactly the same store.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "analysis/store.h"

namespace kijunchi {

// Appends the image of store to bytes.
void appendStoreImage(std::string& bytes, const AnalysisStore& store);

// Reads an image from the front of bytes, which then holds what follows it; nothing when the
// bytes are not an image of this build's store (cut short, or of another layout).
std::unique_ptr<AnalysisStore> readStoreImage(std::string_view& bytes);

// Plain pieces in the same encoding, for what travels beside the store.
void appendImageText(std::string& bytes, std::string_view text);
std::optional<std::string> readImageText(std::string_view& bytes);

}  // namespace kijunchi
