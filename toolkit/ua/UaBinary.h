// The OPC UA binary encoding of the built-in types, written once for every message.
//
// The decoder reads untrusted bytes: every length is checked against what is left before
// anything is read or allocated. The first failure makes it sticky-bad; later reads give
// zeros, and the caller checks ok() once at the end.
#pragma once

#include "toolkit/ua/UaTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn::ua {

class Encoder {
public:
    void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void boolean(bool v) { u8(v ? 1 : 0); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void u64(uint64_t v);
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void i64(int64_t v) { u64(static_cast<uint64_t>(v)); }
    void f32(float v);
    void f64(double v);
    void string(std::string_view v);
    void nullString() { i32(-1); }
    void dateTime(DateTime v) { i64(v); }
    void statusCode(StatusCode v) { u32(v); }
    void nodeId(const NodeId& id);
    void expandedNodeId(const ExpandedNodeId& id);
    void qualifiedName(const QualifiedName& name);
    void localizedText(const LocalizedText& text);
    void extensionObject(const ExtensionObject& object);
    void variant(const Variant& value);
    void dataValue(const DataValue& value);
    // A DataValue whose Variant was encoded earlier (`encodedVariant`; empty: no value).
    void dataValue(std::string_view encodedVariant, StatusCode status, DateTime source,
                   DateTime server);
    // Diagnostic infos are never sent filled in: one empty mask byte.
    void emptyDiagnosticInfo() { u8(0); }
    void arrayLength(size_t count) { i32(static_cast<int32_t>(count)); }
    void raw(std::string_view bytes) { out_.append(bytes); }

    size_t size() const { return out_.size(); }
    std::string& bytes() { return out_; }
    // Overwrites a UInt32 written earlier at `offset`.
    void patchU32(size_t offset, uint32_t v);

private:
    void scalar(uint8_t type, const Scalar& value);
    // The encoding mask and the fields after the value; `writeValue` writes the Variant.
    template <class WriteValue>
    void dataValueFields(bool hasValue, WriteValue writeValue, StatusCode status, DateTime source,
                         DateTime server);
    std::string out_;
};

class Decoder {
public:
    explicit Decoder(std::string_view bytes) : in_(bytes) {}

    uint8_t u8();
    bool boolean() { return u8() != 0; }
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    int32_t i32() { return static_cast<int32_t>(u32()); }
    int64_t i64() { return static_cast<int64_t>(u64()); }
    float f32();
    double f64();
    std::string string(); // null and empty both give ""
    DateTime dateTime() { return i64(); }
    StatusCode statusCode() { return u32(); }
    NodeId nodeId();
    ExpandedNodeId expandedNodeId();
    QualifiedName qualifiedName();
    LocalizedText localizedText();
    ExtensionObject extensionObject();
    Variant variant();
    DataValue dataValue();
    void skipDiagnosticInfo();
    // An array length: -1 (null) gives 0; more elements than bytes left fails, as every
    // element takes at least `minElementSize` bytes.
    uint32_t arrayLength(size_t minElementSize = 1);
    // An array of UInt32 (identifiers of subscriptions, monitored items, ...).
    std::vector<uint32_t> u32Array();
    std::string_view rawBytes(size_t count);

    bool ok() const { return ok_; }
    void fail() { ok_ = false; }
    size_t remaining() const { return ok_ ? in_.size() - pos_ : 0; }
    size_t position() const { return pos_; }

private:
    bool need(size_t count);
    Scalar scalar(uint8_t type);
    Variant variantAt(int depth);
    DataValue dataValueAt(int depth);
    void skipDiagnosticInfoAt(int depth);

    std::string_view in_;
    size_t pos_ = 0;
    bool ok_ = true;
};

} // namespace vorn::ua
