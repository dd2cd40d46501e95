#pragma once
// The general value: empty, a number or a text.
#include <optional>
#include <string>
#include <string_view>

namespace kijunchi {

class Value {
public:
    enum class Kind { Empty, Number, Text };

    Value() = default;
    Value(double number) : kind_(Kind::Number), number_(number) {}  // NOLINT: implicit on purpose
    Value(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}  // NOLINT
    Value(const char* text) : Value(std::string(text)) {}                   // NOLINT

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    bool isNumber() const { return kind_ == Kind::Number; }
    bool isText() const { return kind_ == Kind::Text; }
    // Empty or the empty text.
    bool isBlank() const { return kind_ == Kind::Empty || (kind_ == Kind::Text && text_.empty()); }

    // The value in arithmetic: empty is 0, a text must be a number as a whole (blanks around
    // it allowed), otherwise CalcError.
    double toNumber() const;
    // The value as text: empty gives "", a number its general number text, a text itself.
    std::string toText() const;
    const std::string& text() const { return text_; }

    friend bool operator==(const Value&, const Value&) = default;

private:
    Kind kind_ = Kind::Empty;
    double number_ = 0.0;
    std::string text_;
};

}  // namespace kijunchi
