#include "profiles/json_fields.h"

#include <cmath>

namespace q731::json {

namespace {

const Json::Value& NullValue() {
    static const Json::Value null;
    return null;
}

}  // namespace

const Json::Value& Member(const Json::Value& object, const char* key) {
    if (!object.isObject()) return NullValue();
    const Json::Value* found = object.find(key, key + std::char_traits<char>::length(key));
    return found ? *found : NullValue();
}

const Json::Value& At(const Json::Value& array, std::int64_t index) {
    if (!array.isArray() || index < 0 || static_cast<std::uint64_t>(index) >= array.size()) {
        return NullValue();
    }
    return array[static_cast<Json::ArrayIndex>(index)];
}

std::size_t ArraySize(const Json::Value& value) {
    return value.isArray() ? value.size() : 0;
}

std::optional<std::int64_t> IntegerOf(const Json::Value& value) {
    if (value.isInt64()) return value.asInt64();
    if (value.isUInt64()) return static_cast<std::int64_t>(value.asUInt64());
    if (value.isDouble()) {
        const double number = value.asDouble();
        // 2^63 is exactly representable; anything at or beyond it does not fit.
        if (std::isfinite(number) && number > -9.2233720368547758e18 &&
            number < 9.2233720368547758e18) {
            return static_cast<std::int64_t>(number);
        }
    }
    return std::nullopt;
}

std::int64_t GetInt64(const Json::Value& object, const char* key) {
    return IntegerOf(Member(object, key)).value_or(0);
}

bool GetBool(const Json::Value& object, const char* key) {
    const Json::Value& value = Member(object, key);
    if (value.isBool()) return value.asBool();
    if (value.isDouble() && !value.isIntegral()) return value.asDouble() != 0.0;
    return IntegerOf(value).value_or(0) != 0;
}

std::string GetString(const Json::Value& object, const char* key) {
    const Json::Value& value = Member(object, key);
    return value.isString() ? value.asString() : std::string();
}

Json::Value& EnsureObject(Json::Value& value) {
    if (!value.isObject()) value = Json::Value(Json::objectValue);
    return value;
}

Json::Value& ObjectMember(Json::Value& object, const char* key) {
    return EnsureObject(EnsureObject(object)[key]);
}

Json::Value& ArrayMember(Json::Value& object, const char* key) {
    Json::Value& member = EnsureObject(object)[key];
    if (!member.isArray()) member = Json::Value(Json::arrayValue);
    return member;
}

Json::Value& ObjectAt(Json::Value& array, Json::ArrayIndex index) {
    if (!array.isArray()) array = Json::Value(Json::arrayValue);
    return EnsureObject(array[index]);
}

Json::Value& ArrayAt(Json::Value& array, Json::ArrayIndex index) {
    if (!array.isArray()) array = Json::Value(Json::arrayValue);
    Json::Value& element = array[index];
    if (!element.isArray()) element = Json::Value(Json::arrayValue);
    return element;
}

}  // namespace q731::json
