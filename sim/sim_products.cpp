#include "sim/sim_products.h"

#include "device_access/device_table.h"

namespace q731 {

namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Mouse buttons 1-5 and relative X/Y.
Bytes MouseCollection(uint8_t reportId) {
    Bytes d{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01};
    if (reportId != 0) Append(d, {0x85, reportId});
    Append(d, {0x09, 0x01, 0xA1, 0x00,              // pointer, physical
               0x05, 0x09, 0x19, 0x01, 0x29, 0x05,  // buttons 1-5
               0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95,
               0x05, 0x81, 0x02, 0x95, 0x03, 0x81, 0x01,  // padding
               0x05, 0x01, 0x09, 0x30, 0x09, 0x31,        // X, Y
               0x16, 0x01, 0x80, 0x26, 0xFF, 0x7F, 0x75,
               0x10, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0});
    return d;
}

Bytes SystemControlCollection() {
    return {0x05, 0x01, 0x09, 0x80, 0xA1, 0x01, 0x85, kSimSystemReportId,
            0x19, 0x81, 0x29, 0x83, 0x15, 0x00, 0x25, 0x01,
            0x75, 0x01, 0x95, 0x03, 0x81, 0x02, 0x95, 0x05,
            0x81, 0x01, 0xC0};
}

// The event collection: one 16-bit value the device uses to announce changes.
Bytes EventCollection(uint8_t usage = 0x01) {
    return {0x05, 0x0C, 0x09, usage, 0xA1, 0x01, 0x85, kSimEventReportId,
            0x15, 0x00, 0x27, 0xFF,  0xFF, 0x00, 0x00, 0x75,
            0x10, 0x95, 0x01, 0x09,  0x01, 0x81, 0x02, 0xC0};
}

Bytes VendorCollection(uint16_t usage) {
    return {0x06,
            0x1C,
            0xFF,
            0x09,
            static_cast<uint8_t>(usage),
            0xA1,
            0x01,
            0x85,
            kSimCommandReportId,
            0x15,
            0x00,
            0x26,
            0xFF,
            0x00,
            0x75,
            0x08,
            0x95,
            0x3F,
            0x09,
            0x01,
            0x81,
            0x02,  // 63 bytes in
            0x09,
            0x02,
            0x91,
            0x02,  // 63 bytes out
            0xC0};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

SimProductSpec FamilyProduct(const char* name, uint16_t productId, bool keyboard) {
    SimProductSpec product;
    product.name = name;
    product.vendorId = kVendorMain;
    product.productId = productId;
    product.interfaces.push_back({0, keyboard ? BootKeyboardDescriptor() : BootMouseDescriptor()});
    product.interfaces.push_back({kSimCommandInterface, CommandInterfaceDescriptor()});
    return product;
}

}  // namespace

std::vector<uint8_t> CommandInterfaceDescriptor() {
    return Concat({MouseCollection(kSimMouseReportId), SystemControlCollection(), EventCollection(),
                   VendorCollection(kCommandUsage)});
}

std::vector<uint8_t> BootKeyboardDescriptor() {
    return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,
            0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,              // modifiers
            0x75, 0x08, 0x95, 0x01, 0x81, 0x01,                                      // reserved
            0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x75, 0x01, 0x95, 0x05, 0x91, 0x02,  // LEDs
            0x95, 0x03, 0x91, 0x01, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x15, 0x00,
            0x25, 0x65, 0x75, 0x08, 0x95, 0x06, 0x81, 0x00,  // six key slots
            0xC0};
}

std::vector<uint8_t> BootMouseDescriptor() {
    return MouseCollection(0);
}

std::vector<uint8_t> HeadsetDescriptor() {
    return {0x05, 0x0C,
            0x09, 0x01,
            0xA1, 0x01,
            0x85, kSimHeadsetButtonReportId,
            0x15, 0x00,
            0x25, 0x01,
            0x09, 0xE9,
            0x09, 0xEA,
            0x09, 0xE2,
            0x75, 0x01,
            0x95, 0x03,
            0x81, 0x02,
            0x95, 0x05,
            0x81, 0x01,
            0x85, kSimHeadsetLedReportId,
            0x06, 0x00,
            0xFF, 0x09,
            0x01, 0x26,
            0xFF, 0x00,
            0x75, 0x08,
            0x95, 0x10,
            0x91, 0x02,  // 16 LED bytes out
            0xC0};
}

SimProductSpec MouseWiredProduct() {
    return FamilyProduct("mouse (cable)", kProductMouseWired, false);
}
SimProductSpec MouseReceiverProduct() {
    return FamilyProduct("mouse (receiver)", kProductMouseReceiver, false);
}
SimProductSpec KeyboardWiredProduct() {
    return FamilyProduct("keyboard (cable)", kProductKeyboardWired, true);
}
SimProductSpec KeyboardReceiverProduct() {
    return FamilyProduct("keyboard (receiver)", kProductKeyboardReceiver, true);
}
SimProductSpec MousePadProduct() {
    return FamilyProduct("mouse pad", kProductMousePad, false);
}

SimProductSpec HeadsetProduct() {
    SimProductSpec product;
    product.name = "headset";
    product.vendorId = kVendorHeadset;
    product.productId = kProductHeadset;
    product.interfaces.push_back({kSimHeadsetInterface, HeadsetDescriptor()});
    return product;
}

SimProductSpec DecoyProduct(DecoyKind kind) {
    SimProductSpec product = MouseWiredProduct();
    switch (kind) {
        case DecoyKind::OtherInterface:
            product.name = "decoy: mouse ids on interface 2";
            product.interfaces = {{2, CommandInterfaceDescriptor()}};
            break;
        case DecoyKind::OtherCollection:
            product.name = "decoy: command collection fifth";
            product.interfaces = {{kSimCommandInterface,
                                   Concat({MouseCollection(kSimMouseReportId),
                                           SystemControlCollection(),
                                           {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 5,    0x05,
                                            0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
                                            0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0xC0},
                                           EventCollection(),
                                           VendorCollection(kCommandUsage)})}};
            break;
        case DecoyKind::WrongUsage:
            product.name = "decoy: command collection with usage 0x93";
            product.interfaces = {
                {kSimCommandInterface,
                 Concat({MouseCollection(kSimMouseReportId), SystemControlCollection(),
                         EventCollection(0x02), VendorCollection(0x93)})}};
            break;
        case DecoyKind::OtherVendor:
            product.name = "decoy: foreign vendor";
            product.vendorId = 0x1234;
            break;
    }
    return product;
}

}  // namespace q731
