#include "device_access/report_descriptor.h"

#include <algorithm>
#include <map>
#include <optional>

#include <fmt/format.h>

namespace q731 {

namespace {

// Item prefix layout: bits 0-1 size code, bits 2-3 type, bits 4-7 tag.
constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr int kTypeMain = 0;
constexpr int kTypeGlobal = 1;
constexpr int kTypeLocal = 2;

constexpr int kMainInput = 0x8;
constexpr int kMainOutput = 0x9;
constexpr int kMainFeature = 0xB;
constexpr int kMainCollection = 0xA;
constexpr int kMainEndCollection = 0xC;

constexpr int kGlobalUsagePage = 0x0;
constexpr int kGlobalLogicalMin = 0x1;
constexpr int kGlobalLogicalMax = 0x2;
constexpr int kGlobalPhysicalMin = 0x3;
constexpr int kGlobalPhysicalMax = 0x4;
constexpr int kGlobalReportSize = 0x7;
constexpr int kGlobalReportId = 0x8;
constexpr int kGlobalReportCount = 0x9;
constexpr int kGlobalPush = 0xA;
constexpr int kGlobalPop = 0xB;

constexpr int kLocalUsage = 0x0;
constexpr int kLocalUsageMin = 0x1;
constexpr int kLocalUsageMax = 0x2;

constexpr uint32_t kMainFlagConstant = 0x01;
constexpr uint32_t kMainFlagVariable = 0x02;

// Widest value our decoder reads; wider fields are skipped.
constexpr uint32_t kMaxValueBits = 32;

struct GlobalState {
    uint16_t usagePage = 0;
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    int32_t physicalMin = 0;
    int32_t physicalMax = 0;
    uint32_t reportSize = 0;
    uint32_t reportCount = 0;
    uint8_t reportId = 0;
};

// A usage as the local items give it: page 0 means "the current usage page".
struct LocalUsage {
    uint16_t page = 0;
    uint16_t id = 0;
};

struct LocalState {
    std::vector<LocalUsage> usages;
    std::optional<LocalUsage> usageMin;
    std::optional<LocalUsage> usageMax;

    void Clear() {
        usages.clear();
        usageMin.reset();
        usageMax.reset();
    }
};

uint32_t Unsigned(std::span<const uint8_t> data) {
    uint32_t value = 0;
    for (std::size_t i = 0; i < data.size(); ++i)
        value |= uint32_t{data[i]} << (8 * i);
    return value;
}

int32_t Signed(std::span<const uint8_t> data) {
    const uint32_t raw = Unsigned(data);
    switch (data.size()) {
        case 1:
            return static_cast<int8_t>(raw);
        case 2:
            return static_cast<int16_t>(raw);
        case 4:
            return static_cast<int32_t>(raw);
        default:
            return 0;
    }
}

LocalUsage ToUsage(std::span<const uint8_t> data) {
    const uint32_t raw = Unsigned(data);
    // A four-byte usage carries its own page in the high half.
    if (data.size() == 4) return {static_cast<uint16_t>(raw >> 16), static_cast<uint16_t>(raw)};
    return {0, static_cast<uint16_t>(raw)};
}

class Parser {
public:
    ParsedDescriptor Run(std::span<const uint8_t> descriptor);

private:
    ParsedDescriptor Fail(DescriptorError error) {
        result_.error = error;
        result_.collections.clear();
        return result_;
    }

    DescriptorError Main(int tag, uint32_t value);
    DescriptorError Global(int tag, std::span<const uint8_t> data);
    DescriptorError Local(int tag, std::span<const uint8_t> data);
    DescriptorError AddField(HidReportKind kind, uint32_t flags);
    DescriptorError OpenCollection();
    uint16_t PageOf(const LocalUsage& usage) const {
        return usage.page != 0 ? usage.page : global_.usagePage;
    }
    // Records what was skipped at the current item.
    void Skip(std::string_view why);

    ParsedDescriptor result_;
    std::size_t itemOffset_ = 0;
    std::size_t notesDropped_ = 0;
    // Inside a top-level collection beyond kMaxCollections: its fields are skipped.
    bool skippingCollection_ = false;
    bool fieldLimitNoted_ = false;
    bool usageLimitNoted_ = false;
    GlobalState global_;
    std::vector<GlobalState> stack_;
    LocalState local_;
    int depth_ = 0;
    std::size_t fieldCount_ = 0;
    // Bits used so far per (kind, report id): fields are laid out in order.
    std::map<std::pair<int, uint8_t>, uint32_t> bitsUsed_;
};

ParsedDescriptor Parser::Run(std::span<const uint8_t> descriptor) {
    if (descriptor.empty()) {
        result_.error = DescriptorError::Empty;
        return result_;
    }
    if (descriptor.size() > kMaxDescriptorBytes) {
        result_.error = DescriptorError::TooLarge;
        return result_;
    }
    std::size_t pos = 0;
    while (pos < descriptor.size()) {
        const uint8_t prefix = descriptor[pos];
        if (prefix == kLongItemPrefix) {
            // Long items carry no meaning for us; skip them whole.
            if (pos + 3 > descriptor.size() || pos + 3 + descriptor[pos + 1] > descriptor.size()) {
                return Fail(DescriptorError::Truncated);
            }
            const std::size_t dataSize = descriptor[pos + 1];
            pos += 3 + dataSize;
            continue;
        }
        static constexpr std::size_t kSizes[4] = {0, 1, 2, 4};
        const std::size_t size = kSizes[prefix & 0x3];
        if (pos + 1 + size > descriptor.size()) return Fail(DescriptorError::Truncated);
        const auto data = descriptor.subspan(pos + 1, size);
        const int type = (prefix >> 2) & 0x3;
        const int tag = prefix >> 4;
        itemOffset_ = pos;
        DescriptorError error = DescriptorError::None;
        if (type == kTypeMain) error = Main(tag, Unsigned(data));
        if (type == kTypeGlobal) error = Global(tag, data);
        if (type == kTypeLocal) error = Local(tag, data);
        if (error != DescriptorError::None) return Fail(error);
        pos += 1 + size;
    }
    if (depth_ != 0) return Fail(DescriptorError::UnbalancedCollection);
    if (notesDropped_ > 0) {
        result_.skipped.back() = fmt::format("... and {} more", notesDropped_ + 1);
    }
    return result_;
}

void Parser::Skip(std::string_view why) {
    if (result_.skipped.size() >= kMaxDescriptorNotes) {
        ++notesDropped_;
        return;
    }
    result_.skipped.push_back(fmt::format("at byte {}: {}", itemOffset_, why));
}

DescriptorError Parser::Main(int tag, uint32_t value) {
    DescriptorError error = DescriptorError::None;
    switch (tag) {
        case kMainInput:
            error = AddField(HidReportKind::Input, value);
            break;
        case kMainOutput:
            error = AddField(HidReportKind::Output, value);
            break;
        case kMainFeature:
            error = AddField(HidReportKind::Feature, value);
            break;
        case kMainCollection:
            error = OpenCollection();
            break;
        case kMainEndCollection:
            if (depth_ == 0) return DescriptorError::UnbalancedCollection;
            if (--depth_ == 0) skippingCollection_ = false;
            break;
        default:
            break;
    }
    local_.Clear();
    return error;
}

DescriptorError Parser::OpenCollection() {
    if (depth_ >= kMaxCollectionDepth) return DescriptorError::StackError;
    if (depth_ == 0 && result_.collections.size() >= kMaxCollections) {
        Skip(
            fmt::format("more than {} top-level collections: collection skipped", kMaxCollections));
        skippingCollection_ = true;
    } else if (depth_ == 0) {
        HidCollectionCaps collection;
        LocalUsage usage{};
        if (!local_.usages.empty()) {
            usage = local_.usages.front();
        } else if (local_.usageMin) {
            usage = *local_.usageMin;
        }
        collection.usagePage = PageOf(usage);
        collection.usage = usage.id;
        result_.collections.push_back(std::move(collection));
    }
    ++depth_;
    return DescriptorError::None;
}

DescriptorError Parser::Global(int tag, std::span<const uint8_t> data) {
    switch (tag) {
        case kGlobalUsagePage:
            global_.usagePage = static_cast<uint16_t>(Unsigned(data));
            break;
        case kGlobalLogicalMin:
            global_.logicalMin = Signed(data);
            break;
        case kGlobalLogicalMax:
            global_.logicalMax = Signed(data);
            break;
        case kGlobalPhysicalMin:
            global_.physicalMin = Signed(data);
            break;
        case kGlobalPhysicalMax:
            global_.physicalMax = Signed(data);
            break;
        case kGlobalReportSize:
            global_.reportSize = Unsigned(data);
            break;
        case kGlobalReportCount:
            global_.reportCount = Unsigned(data);
            break;
        case kGlobalReportId: {
            const uint32_t id = Unsigned(data);
            if (id == 0 || id > 0xFF) return DescriptorError::BadReportId;
            global_.reportId = static_cast<uint8_t>(id);
            result_.usesReportIds = true;
            break;
        }
        case kGlobalPush:
            if (stack_.size() >= static_cast<std::size_t>(kMaxPushDepth)) {
                return DescriptorError::StackError;
            }
            stack_.push_back(global_);
            break;
        case kGlobalPop:
            if (stack_.empty()) return DescriptorError::StackError;
            global_ = stack_.back();
            stack_.pop_back();
            break;
        default:
            break;
    }
    return DescriptorError::None;
}

DescriptorError Parser::Local(int tag, std::span<const uint8_t> data) {
    switch (tag) {
        case kLocalUsage:
            if (local_.usages.size() >= kMaxLocalUsages) {
                if (!usageLimitNoted_) Skip("more usages than kept for one field: rest ignored");
                usageLimitNoted_ = true;
                break;
            }
            local_.usages.push_back(ToUsage(data));
            break;
        case kLocalUsageMin:
            local_.usageMin = ToUsage(data);
            break;
        case kLocalUsageMax:
            local_.usageMax = ToUsage(data);
            break;
        default:
            break;
    }
    return DescriptorError::None;
}

DescriptorError Parser::AddField(HidReportKind kind, uint32_t flags) {
    if (global_.reportSize > kKernelMaxReportSizeBits ||
        global_.reportCount > kKernelMaxReportCount) {
        return DescriptorError::BadReportSize;
    }
    const bool constant = (flags & kMainFlagConstant) != 0;
    const uint32_t bits = global_.reportSize * global_.reportCount;
    if (bits == 0) {
        // A zero-sized constant item is harmless padding.
        if (!constant) Skip("data field of no bits skipped");
        return DescriptorError::None;
    }
    uint32_t& used = bitsUsed_[{static_cast<int>(kind), global_.reportId}];
    const uint32_t bytes = (used + bits + 7) / 8 + 1;
    if (bytes > kMaxReportBytes) {
        Skip(fmt::format("report {} longer than {} bytes: field skipped", global_.reportId,
                         kMaxReportBytes));
        return DescriptorError::None;
    }
    // A field we skip still takes its place in the report, so the fields after
    // it keep their offsets and the report its length.
    const uint32_t bitOffset = used;
    used += bits;
    if (depth_ == 0) {
        Skip("report field outside any collection skipped");
        return DescriptorError::None;
    }
    if (skippingCollection_) return DescriptorError::None;  // noted at the collection

    HidCollectionCaps& collection = result_.collections.back();
    if (!collection.OwnsReportId(global_.reportId)) {
        collection.reportIds.push_back(global_.reportId);
    }
    HidReportCaps& caps = collection.reports[static_cast<int>(kind)];
    caps.reportByteLength = std::max<uint16_t>(caps.reportByteLength, static_cast<uint16_t>(bytes));

    if (constant) return DescriptorError::None;  // padding
    if (local_.usageMin.has_value() != local_.usageMax.has_value()) {
        Skip("usage minimum without maximum (or the reverse): field skipped");
        return DescriptorError::None;
    }
    // A reversed range would count almost 2^16 items.
    if (local_.usageMin && local_.usageMax->id < local_.usageMin->id) {
        Skip("usage maximum below minimum: field skipped");
        return DescriptorError::None;
    }
    if (global_.reportSize > kMaxValueBits) {
        Skip(fmt::format("field of {} bits skipped: values wider than {} bits are not read",
                         global_.reportSize, kMaxValueBits));
        return DescriptorError::None;
    }
    if (++fieldCount_ > kMaxFields) {
        if (!fieldLimitNoted_)
            Skip(fmt::format("more than {} fields: the rest skipped", kMaxFields));
        fieldLimitNoted_ = true;
        return DescriptorError::None;
    }

    const bool isVariable = (flags & kMainFlagVariable) != 0;
    const bool isButton = !isVariable || global_.reportSize == 1;
    const uint16_t count = static_cast<uint16_t>(global_.reportCount);
    const uint16_t size = static_cast<uint16_t>(global_.reportSize);

    if (local_.usageMin) {
        const uint16_t page = PageOf(*local_.usageMin);
        if (isButton) {
            caps.buttons.push_back({.usagePage = page,
                                    .reportId = global_.reportId,
                                    .isRange = true,
                                    .isArray = !isVariable,
                                    .usageMin = local_.usageMin->id,
                                    .usageMax = local_.usageMax->id,
                                    .bitOffset = bitOffset,
                                    .bitSize = size,
                                    .reportCount = count,
                                    .logicalMin = global_.logicalMin,
                                    .logicalMax = global_.logicalMax});
        } else {
            caps.values.push_back({.usagePage = page,
                                   .reportId = global_.reportId,
                                   .isRange = true,
                                   .usageMin = local_.usageMin->id,
                                   .usageMax = local_.usageMax->id,
                                   .bitOffset = bitOffset,
                                   .bitSize = size,
                                   .reportCount = count,
                                   .logicalMin = global_.logicalMin,
                                   .logicalMax = global_.logicalMax,
                                   .physicalMin = global_.physicalMin,
                                   .physicalMax = global_.physicalMax});
        }
        return DescriptorError::None;
    }

    std::vector<LocalUsage> usages = local_.usages;
    if (usages.empty()) usages.push_back({global_.usagePage, 0});
    if (!isVariable) {
        // An array with a list of usages: slot value n names the n-th usage
        // counted from the logical minimum. Keep the list as one range when it
        // is contiguous, which is how devices describe arrays in practice.
        const uint16_t page = PageOf(usages.front());
        uint16_t low = usages.front().id;
        uint16_t high = usages.front().id;
        for (const LocalUsage& usage : usages) {
            low = std::min(low, usage.id);
            high = std::max(high, usage.id);
        }
        caps.buttons.push_back({.usagePage = page,
                                .reportId = global_.reportId,
                                .isRange = low != high,
                                .isArray = true,
                                .usageMin = low,
                                .usageMax = high,
                                .bitOffset = bitOffset,
                                .bitSize = size,
                                .reportCount = count,
                                .logicalMin = global_.logicalMin,
                                .logicalMax = global_.logicalMax});
        return DescriptorError::None;
    }
    // Variable fields with single usages: field i gets usage i, the last usage
    // repeating for any fields beyond the list.
    for (uint16_t field = 0; field < count; ++field) {
        const LocalUsage& usage = usages[std::min<std::size_t>(field, usages.size() - 1)];
        const uint32_t offset = bitOffset + uint32_t{field} * size;
        const bool lastUsage = std::size_t{field} + 1 >= usages.size();
        const uint16_t fieldsHere = lastUsage ? static_cast<uint16_t>(count - field) : 1;
        if (isButton) {
            caps.buttons.push_back({.usagePage = PageOf(usage),
                                    .reportId = global_.reportId,
                                    .isRange = false,
                                    .isArray = false,
                                    .usageMin = usage.id,
                                    .usageMax = usage.id,
                                    .bitOffset = offset,
                                    .bitSize = size,
                                    .reportCount = fieldsHere,
                                    .logicalMin = global_.logicalMin,
                                    .logicalMax = global_.logicalMax});
        } else {
            caps.values.push_back({.usagePage = PageOf(usage),
                                   .reportId = global_.reportId,
                                   .isRange = false,
                                   .usageMin = usage.id,
                                   .usageMax = usage.id,
                                   .bitOffset = offset,
                                   .bitSize = size,
                                   .reportCount = fieldsHere,
                                   .logicalMin = global_.logicalMin,
                                   .logicalMax = global_.logicalMax,
                                   .physicalMin = global_.physicalMin,
                                   .physicalMax = global_.physicalMax});
        }
        if (lastUsage) break;
    }
    return DescriptorError::None;
}

}  // namespace

bool HidCollectionCaps::OwnsReportId(uint8_t reportId) const {
    return std::find(reportIds.begin(), reportIds.end(), reportId) != reportIds.end();
}

uint32_t HidCollectionCaps::MaxUsageListLength(HidReportKind kind, uint16_t page) const {
    uint32_t total = 0;
    for (const HidButtonCaps& button : Of(kind).buttons) {
        if (button.usagePage != page) continue;
        total += button.isArray ? button.reportCount
                                : std::min<uint32_t>(button.reportCount, uint32_t{button.usageMax} -
                                                                             button.usageMin + 1);
    }
    return total;
}

std::string_view DescriptorErrorText(DescriptorError error) {
    switch (error) {
        case DescriptorError::None:
            return "ok";
        case DescriptorError::Empty:
            return "empty descriptor";
        case DescriptorError::Truncated:
            return "item runs past the end";
        case DescriptorError::BadReportSize:
            return "report size or count beyond the kernel's limits";
        case DescriptorError::BadReportId:
            return "report id 0 or above 255";
        case DescriptorError::UnbalancedCollection:
            return "unbalanced collections";
        case DescriptorError::StackError:
            return "push/pop misuse or nesting too deep";
        case DescriptorError::TooLarge:
            return "descriptor too large";
    }
    return "unknown";
}

ParsedDescriptor ParseReportDescriptor(std::span<const uint8_t> descriptor) {
    return Parser().Run(descriptor);
}

std::vector<std::string> DescribeCollections(const ParsedDescriptor& parsed) {
    std::vector<std::string> lines;
    for (std::size_t index = 0; index < parsed.collections.size(); ++index) {
        const HidCollectionCaps& collection = parsed.collections[index];
        std::string ids;
        for (uint8_t id : collection.reportIds)
            ids += fmt::format(" {:02x}", id);
        if (!parsed.usesReportIds || ids.empty()) ids = " -";
        lines.push_back(
            fmt::format("{}: page {:04x} usage {:04x}, ids{}, in {}, out {}, feature {}", index + 1,
                        collection.usagePage, collection.usage, ids,
                        collection.Of(HidReportKind::Input).reportByteLength,
                        collection.Of(HidReportKind::Output).reportByteLength,
                        collection.Of(HidReportKind::Feature).reportByteLength));
    }
    return lines;
}

}  // namespace q731
