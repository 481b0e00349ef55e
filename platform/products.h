#pragma once
// The products of the family, one record each: every code the design gives a
// product, for every layer that needs one (the supported-device table, the
// device objects, the profile folders, the battery panel and the tab icon).
// Code asks the record and never compares product numbers. The record is
// header-only and needs nothing but the standard library, so device access,
// profiles, devices and the UI can all read it; what only the window needs
// (page layouts, the order of the tabs) lives with the window.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace q731 {

enum class Product : std::uint8_t { Keyboard, Mouse, MousePad, Headset };

// The two ways a product reaches the host. The values are the design's channel
// selector (0 cable, 1 receiver) and index whatever is kept per channel.
enum class Channel : std::uint8_t { Cable = 0, Receiver = 1 };
inline constexpr std::size_t kChannelCount = 2;

// How the host talks to a product once it is connected.
enum class Protocol : std::uint8_t {
    CommandFrames,   // 64-byte command frames on the vendor collection
    HeadsetReports,  // the headset's own output reports, not command frames
};

inline constexpr std::uint16_t kVendorMain = 0x320F;
inline constexpr std::uint16_t kVendorHeadset = 0x0C76;
inline constexpr std::uint16_t kProductKeyboardWired = 0x5059;
inline constexpr std::uint16_t kProductKeyboardReceiver = 0x5001;
inline constexpr std::uint16_t kProductMouseWired = 0x221C;
inline constexpr std::uint16_t kProductMouseReceiver = 0x221D;
inline constexpr std::uint16_t kProductMousePad = 0x1004;
inline constexpr std::uint16_t kProductHeadset = 0x1630;

// One way a product arrives: the USB product id it shows there and the type
// byte the supported-device table gives its interfaces.
struct ProductWay {
    std::uint16_t productId = 0;
    std::uint16_t type = 0;  // 0: the product has no such way

    constexpr bool Present() const { return type != 0; }
};

struct ProductRecord {
    Product product;
    std::string_view name;  // for people: logs and tools
    std::uint16_t vendorId;
    ProductWay cable;
    ProductWay receiver;
    Protocol protocol;
    int kind;                        // the device object's kind code
    int panelKind;                   // what the battery panel and the tab icon go by
    std::string_view profileFolder;  // the device folder's name
    // The profile mode: the product's row in the light library and in
    // "default_light.json".
    int profileMode;
    std::string_view defaultDocument;  // the default profile in DefaultData
    std::string_view macroList;        // the macro list's file in the device folder
    std::string_view lightingConfig;
    int ledCount;
    int keyCount;
    bool hasBattery;
    int logoLed;  // -1: no logo LED of its own

    constexpr const ProductWay& Way(Channel channel) const {
        return channel == Channel::Receiver ? receiver : cable;
    }
    constexpr bool HasReceiver() const { return receiver.Present(); }
};

// In the order of the enum, which is the order of the profile modes.
inline constexpr std::array<ProductRecord, 4> kProducts{{
    {
        .product = Product::Keyboard,
        .name = "keyboard",
        .vendorId = kVendorMain,
        .cable = {.productId = kProductKeyboardWired, .type = 1},
        .receiver = {.productId = kProductKeyboardReceiver, .type = 9},
        .protocol = Protocol::CommandFrames,
        .kind = 1,
        .panelKind = 1,
        .profileFolder = "keyboard",
        .profileMode = 0,
        .defaultDocument = "keyboard.Json",
        .macroList = "macro.config",
        .lightingConfig = "tamry_light",
        .ledCount = 170,
        .keyCount = 170,
        .hasBattery = false,
        .logoLed = -1,
    },
    {
        .product = Product::Mouse,
        .name = "mouse",
        .vendorId = kVendorMain,
        .cable = {.productId = kProductMouseWired, .type = 2},
        .receiver = {.productId = kProductMouseReceiver, .type = 6},
        .protocol = Protocol::CommandFrames,
        .kind = 2,
        .panelKind = 2,
        .profileFolder = "mouse",
        .profileMode = 1,
        .defaultDocument = "mouse.Json",
        .macroList = "macro.config",
        .lightingConfig = "tamry_light",
        .ledCount = 15,
        .keyCount = 11,
        .hasBattery = true,
        .logoLed = -1,
    },
    {
        .product = Product::MousePad,
        .name = "mouse pad",
        .vendorId = kVendorMain,
        .cable = {.productId = kProductMousePad, .type = 3},
        .receiver = {},
        .protocol = Protocol::CommandFrames,
        .kind = 3,
        .panelKind = 3,
        .profileFolder = "MousePad",
        .profileMode = 2,
        .defaultDocument = "MousePad.Json",
        .macroList = "tamry_macro.config",
        .lightingConfig = "tamry_light",
        .ledCount = 15,
        .keyCount = 0,
        .hasBattery = false,
        .logoLed = -1,
    },
    {
        .product = Product::Headset,
        .name = "headset",
        .vendorId = kVendorHeadset,
        .cable = {.productId = kProductHeadset, .type = 7},
        .receiver = {},
        .protocol = Protocol::HeadsetReports,
        .kind = 7,
        .panelKind = 7,
        .profileFolder = "HD",
        .profileMode = 3,
        .defaultDocument = "HD.Json",
        .macroList = "tamry_macro.config",
        .lightingConfig = "tamry_light",
        .ledCount = 13,
        .keyCount = 0,
        .hasBattery = false,
        .logoLed = -1,
    },
}};

constexpr const ProductRecord& RecordOf(Product product) {
    return kProducts[static_cast<std::size_t>(product)];
}

static_assert([] {
    for (std::size_t index = 0; index < kProducts.size(); ++index) {
        if (static_cast<std::size_t>(kProducts[index].product) != index) return false;
    }
    return true;
}());

// What a supported-device type byte stands for.
struct ProductOnChannel {
    Product product;
    Channel channel;
};

// Nothing for a type byte no product has.
constexpr std::optional<ProductOnChannel> DecodeType(std::uint16_t type) {
    if (type == 0) return std::nullopt;
    for (const ProductRecord& record : kProducts) {
        if (record.cable.type == type) return ProductOnChannel{record.product, Channel::Cable};
        if (record.receiver.type == type)
            return ProductOnChannel{record.product, Channel::Receiver};
    }
    return std::nullopt;
}

}  // namespace q731
