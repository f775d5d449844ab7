#include "ChangeRecord.h"

#include <cstring>

namespace vorn::north::mqtt {
namespace {

template <class T> void put(std::string& out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

void putVariant(std::string& out, const Variant& value) {
    put<uint16_t>(out, value.type());
    if (value.isArray()) {
        put<uint32_t>(out, static_cast<uint32_t>(value.size()));
        for (const Variant& element : value.elements())
            putVariant(out, element);
    } else if (value.type() == VT_BSTR) {
        put<uint32_t>(out, static_cast<uint32_t>(value.asString().size()));
        out.append(reinterpret_cast<const char*>(value.asString().data()),
                   value.asString().size() * sizeof(char16_t));
    } else if (value.type() == VT_R4) {
        put<float>(out, value.asFloat());
    } else if (value.type() == VT_R8) {
        put<double>(out, value.asDouble());
    } else if (value.type() != VT_EMPTY) {
        put<int64_t>(out, value.asInt64());
    }
}

// Reads from a span, refusing to go past its end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    template <class T> bool get(T& value) {
        if (bytes_.size() - at_ < sizeof(T))
            return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof(T));
        at_ += sizeof(T);
        return true;
    }
    bool getVariant(Variant& value, int depth = 0) {
        uint16_t type = 0;
        if (!get(type))
            return false;
        if (type & VT_ARRAY) {
            uint32_t count = 0;
            // Each element takes at least its two type bytes: a count larger than the bytes
            // left is damage, not a reason to allocate.
            if (depth > 0 || !get(count) || count > (bytes_.size() - at_) / 2)
                return false;
            value = Variant::array(type & ~VT_ARRAY, count);
            for (uint32_t i = 0; i < count; ++i)
                if (!getVariant(value.at(i), depth + 1))
                    return false;
            return true;
        }
        if (type == VT_BSTR) {
            uint32_t length = 0;
            if (!get(length) || length > (bytes_.size() - at_) / sizeof(char16_t))
                return false;
            std::u16string text(length, u'\0');
            std::memcpy(text.data(), bytes_.data() + at_, length * sizeof(char16_t));
            at_ += length * sizeof(char16_t);
            value = Variant::bstr(std::move(text));
            return true;
        }
        if (type == VT_R4) {
            float f = 0;
            if (!get(f))
                return false;
            value = Variant::r4(f);
            return true;
        }
        if (type == VT_R8) {
            double d = 0;
            if (!get(d))
                return false;
            value = Variant::r8(d);
            return true;
        }
        if (type == VT_EMPTY) {
            value = Variant();
            return true;
        }
        int64_t n = 0;
        if (!get(n))
            return false;
        value = integralOf(type, n);
        return !value.isEmpty(); // a type no tag has is damage
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    static Variant integralOf(VARTYPE type, int64_t n) {
        switch (type) {
        case VT_I1:
            return Variant::i1(static_cast<int8_t>(n));
        case VT_UI1:
            return Variant::ui1(static_cast<uint8_t>(n));
        case VT_I2:
            return Variant::i2(static_cast<int16_t>(n));
        case VT_UI2:
            return Variant::ui2(static_cast<uint16_t>(n));
        case VT_I4:
            return Variant::i4(static_cast<int32_t>(n));
        case VT_UI4:
            return Variant::ui4(static_cast<uint32_t>(n));
        case VT_I8:
            return Variant::i8(n);
        case VT_UI8:
            return Variant::ui8(static_cast<uint64_t>(n));
        case VT_BOOL:
            return Variant::boolWord(static_cast<int16_t>(n));
        default:
            return Variant();
        }
    }

    std::string_view bytes_;
    size_t at_ = 0;
};

} // namespace

void encodeRecord(const ChangeRecord& record, std::string& out) {
    put<uint8_t>(out, static_cast<uint8_t>(record.kind));
    put<uint32_t>(out, record.index);
    put<uint16_t>(out, record.quality);
    put<int64_t>(out, record.timeMs);
    putVariant(out, record.value);
}

std::optional<ChangeRecord> decodeRecord(std::string_view bytes) {
    Reader reader(bytes);
    ChangeRecord record;
    uint8_t kind = 0;
    if (!reader.get(kind) || kind > 2 || !reader.get(record.index) || !reader.get(record.quality) ||
        !reader.get(record.timeMs) || !reader.getVariant(record.value) || !reader.atEnd())
        return std::nullopt;
    record.kind = static_cast<ChangeRecord::Kind>(kind);
    return record;
}

} // namespace vorn::north::mqtt
