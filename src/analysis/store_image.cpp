#include "analysis/store_image.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

namespace kijunchi {

namespace {

// Bumped with every change of the store's members; a reader refuses any other.
constexpr std::uint32_t kLayout = 1;
constexpr std::string_view kMagic = "kijunchi-store";
#if defined(__x86_64__) && defined(__GLIBCXX__)
// A member added to the store changes its size: it must be added to members() below too.
static_assert(sizeof(AnalysisStore) == 562208, "the store changed: update members() and kLayout");
#endif

class Writer {
public:
    explicit Writer(std::string& bytes) : bytes_(bytes) {}

    template <typename T>
    requires std::is_arithmetic_v<T>
    void put(T number) {
        char raw[sizeof(T)];
        std::memcpy(raw, &number, sizeof(T));
        bytes_.append(raw, sizeof(T));
    }
    void put(bool flag) { put(static_cast<std::uint8_t>(flag)); }
    void put(std::string_view text) {
        put(static_cast<std::uint64_t>(text.size()));
        bytes_.append(text);
    }
    void put(const std::string& text) { put(std::string_view(text)); }
    void put(const Value& value) {
        put(static_cast<std::uint8_t>(value.kind()));
        if (value.isNumber()) put(value.toNumber());
        if (value.isText()) put(value.text());
    }
    void put(const ExcludedValue& excluded) {
        put(excluded.position);
        put(excluded.value);
        put(excluded.rule);
        put(excluded.who);
        put(excluded.when);
    }
    template <typename T, std::size_t N>
    void put(const std::array<T, N>& items) {
        for (const T& item : items) put(item);
    }
    template <typename T>
    void put(const std::vector<T>& items) {
        put(static_cast<std::uint64_t>(items.size()));
        for (const T& item : items) put(item);
    }

private:
    std::string& bytes_;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    std::string_view rest() const { return bytes_; }

    template <typename T>
    requires std::is_arithmetic_v<T>
    void get(T& number) {
        if (!take(sizeof(T))) return;
        std::memcpy(&number, taken_.data(), sizeof(T));
    }
    void get(bool& flag) {
        std::uint8_t raw = 0;
        get(raw);
        if (raw > 1) ok_ = false;
        flag = raw == 1;
    }
    void get(std::string& text) {
        std::uint64_t size = 0;
        get(size);
        if (!ok_ || size > bytes_.size() || !take(static_cast<std::size_t>(size))) return;
        text.assign(taken_);
    }
    void get(Value& value) {
        std::uint8_t kind = 0;
        get(kind);
        if (kind == static_cast<std::uint8_t>(Value::Kind::Empty)) {
            value = Value();
        } else if (kind == static_cast<std::uint8_t>(Value::Kind::Number)) {
            double number = 0;
            get(number);
            value = Value(number);
        } else if (kind == static_cast<std::uint8_t>(Value::Kind::Text)) {
            std::string text;
            get(text);
            value = Value(std::move(text));
        } else {
            ok_ = false;
        }
    }
    void get(ExcludedValue& excluded) {
        get(excluded.position);
        get(excluded.value);
        get(excluded.rule);
        get(excluded.who);
        get(excluded.when);
    }
    template <typename T, std::size_t N>
    void get(std::array<T, N>& items) {
        for (T& item : items) get(item);
    }
    template <typename T>
    void get(std::vector<T>& items) {
        std::uint64_t size = 0;
        get(size);
        // Each item takes at least one byte: a larger count is a damaged image.
        if (!ok_ || size > bytes_.size()) {
            ok_ = false;
            return;
        }
        items.resize(static_cast<std::size_t>(size));
        for (T& item : items) get(item);
    }

private:
    bool take(std::size_t size) {
        if (!ok_ || size > bytes_.size()) {
            ok_ = false;
            return false;
        }
        taken_ = bytes_.substr(0, size);
        bytes_.remove_prefix(size);
        return true;
    }

    std::string_view bytes_;
    std::string_view taken_;
    bool ok_ = true;
};

// Every member of the store, in one order for writing and reading.
template <typename Io, typename Store>
void members(Io& io, Store& s) {
    io.put_or_get(s.DataCount, s.WorkCount, s.ValuesRead, s.Excluded, s.ValuesBeforeExclusion);
    auto& h = s.Header;
    io.put_or_get(h.analyte, h.unit, h.method, h.facility, h.author, h.approver, h.note);
    io.put_or_get(s.DataValues, s.AnalysisValues, s.SortedValues, s.UntransformedValues,
                  s.UntransformedDataValues, s.GroupLabels, s.GroupedValues);
    io.put_or_get(s.ClassCount, s.Lambda, s.LambdaShown, s.UniformMax, s.PercentileLevel,
                  s.PercentileValue, s.PercentileText);
    io.put_or_get(s.MeanValue, s.MedianValue, s.MinValue, s.MaxValue, s.VarianceValue, s.SDValue,
                  s.SkewnessValue, s.KurtosisValue, s.SkewTestZ, s.KurtTestZ);
    io.put_or_get(s.ParamLower, s.ParamUpper, s.ParamLowerCILow, s.ParamLowerCIHigh,
                  s.ParamUpperCILow, s.ParamUpperCIHigh, s.Pct025, s.Pct975);
    io.put_or_get(s.OrigLower, s.OrigUpper, s.OrigMean, s.OrigSD, s.OrigLowerCILow,
                  s.OrigLowerCIHigh, s.OrigUpperCILow, s.OrigUpperCIHigh, s.OrigPct025,
                  s.OrigPct975);
    io.put_or_get(s.HistOrigin, s.ClassWidth, s.HistClasses, s.ClassFreq, s.ClassFreqCopy);
    auto& n = s.Normality;
    io.put_or_get(n.momentsTaken, n.skewTestZ, n.kurtTestZ, n.skewRejected, n.kurtRejected,
                  n.chiSquareTaken, n.chiSquare, n.degreesOfFreedom, n.critical);
    io.put_or_get(s.ReportLines);
}

struct ImageWriter : Writer {
    using Writer::Writer;
    template <typename... T>
    void put_or_get(const T&... items) {
        (put(items), ...);
    }
};

struct ImageReader : Reader {
    using Reader::Reader;
    template <typename... T>
    void put_or_get(T&... items) {
        (get(items), ...);
    }
};

}  // namespace

void appendStoreImage(std::string& bytes, const AnalysisStore& store) {
    ImageWriter out(bytes);
    out.put(kMagic);
    out.put(kLayout);
    members(out, store);
}

std::unique_ptr<AnalysisStore> readStoreImage(std::string_view& bytes) {
    ImageReader in(bytes);
    std::string magic;
    std::uint32_t layout = 0;
    in.get(magic);
    in.get(layout);
    if (!in.ok() || magic != kMagic || layout != kLayout) return nullptr;
    auto store = std::make_unique<AnalysisStore>();
    members(in, *store);
    if (!in.ok()) return nullptr;
    bytes = in.rest();
    return store;
}

void appendImageText(std::string& bytes, std::string_view text) {
    Writer(bytes).put(text);
}

std::optional<std::string> readImageText(std::string_view& bytes) {
    Reader in(bytes);
    std::string text;
    in.get(text);
    if (!in.ok()) return std::nullopt;
    bytes = in.rest();
    return text;
}

}  // namespace kijunchi
