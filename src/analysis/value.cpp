#include "analysis/value.h"

#include "analysis/checked.h"
#include "analysis/number_text.h"

namespace kijunchi {

double Value::toNumber() const {
    switch (kind_) {
        case Kind::Empty:
            return 0.0;
        case Kind::Number:
            return number_;
        case Kind::Text:
            break;
    }
    auto number = wholeNumber(text_);
    if (!number) throw CalcError("a text that is not a number");
    return *number;
}

std::string Value::toText() const {
    switch (kind_) {
        case Kind::Empty:
            return {};
        case Kind::Number:
            return numberText(number_);
        case Kind::Text:
            break;
    }
    return text_;
}

}  // namespace kijunchi
