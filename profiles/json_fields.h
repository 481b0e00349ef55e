#pragma once
// Tolerant access to untrusted JSON. JsonCpp throws when a value has another
// type than the accessor expects; these helpers treat a wrong type as absent
// and cut numbers to the width of the field that receives them, the way the
// profile documents have always been read.

#include <json/json.h>

#include <cstdint>
#include <optional>
#include <string>

namespace q731::json {

// The member `key` of `object`, or a null value when `object` is no object or
// lacks the key.
const Json::Value& Member(const Json::Value& object, const char* key);
// Element `index` of `array`, or a null value when out of range or no array.
const Json::Value& At(const Json::Value& array, std::int64_t index);
// Number of elements when `value` is an array, else 0.
std::size_t ArraySize(const Json::Value& value);

// The integer value of a number: integers as they are (unsigned values above
// the signed range keep their bits), finite reals truncated towards zero.
// Anything else, and reals outside the 64-bit range, give nothing.
std::optional<std::int64_t> IntegerOf(const Json::Value& value);

// Typed reads of `object[key]`; absent, null or wrong-typed reads as zero.
std::int64_t GetInt64(const Json::Value& object, const char* key);
inline std::uint8_t GetU8(const Json::Value& object, const char* key) {
    return static_cast<std::uint8_t>(GetInt64(object, key) & 0xFF);
}
inline std::uint16_t GetU16(const Json::Value& object, const char* key) {
    return static_cast<std::uint16_t>(GetInt64(object, key) & 0xFFFF);
}
inline std::int32_t GetI32(const Json::Value& object, const char* key) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(GetInt64(object, key)));
}
// Numbers (non-zero is true) and booleans; anything else is false.
bool GetBool(const Json::Value& object, const char* key);
// Strings only; anything else is the empty string.
std::string GetString(const Json::Value& object, const char* key);

// Makes `value` an object when it is anything else and returns it.
Json::Value& EnsureObject(Json::Value& value);
// `object[key]` made an object or array (a value of another type is replaced).
Json::Value& ObjectMember(Json::Value& object, const char* key);
Json::Value& ArrayMember(Json::Value& object, const char* key);
// Element `index` of `array` (grown as needed) made an object or an array.
Json::Value& ObjectAt(Json::Value& array, Json::ArrayIndex index);
Json::Value& ArrayAt(Json::Value& array, Json::ArrayIndex index);

}  // namespace q731::json
