// Attribute values and image strings as skin files hand them to the toolkit:
// the bytes go through every value parser, as an image string, and as an
// attribute list applied to one control of every kind the layouts can name.

#include <cstdint>
#include <memory>

#include "tests/fuzz/fuzz_support.h"
#include "ui/widgets/control.h"
#include "ui/widgets/dialog_builder.h"
#include "ui/widgets/image_string.h"
#include "ui/widgets/ui_types.h"

namespace {

using namespace q731;

constexpr const char* kControlKinds[] = {
    "Control",          "Container",    "VerticalLayout", "HorizontalLayout",
    "TabLayout",        "Label",        "Button",         "Option",
    "CheckBox",         "Edit",         "RichEdit",       "Progress",
    "Slider",           "Combo",        "List",           "ListContainerElement",
    "ListLabelElement", "ColorPalette", "MenuElement"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    ParseInt(text);
    ParseColor(text);
    ParseRect(text);
    ParseSize(text);
    ParseBool(text);
    SplitList(text, ',');
    if (const auto image = ParseImageString(text)) {
        if (image->uFade < 0 || image->uFade > 255) fuzz::Fail("a fade outside 0..255");
    }
    for (const char* kind : kControlKinds) {
        std::unique_ptr<CControlUI> control = CControlFactory::GetInstance().CreateControl(kind);
        if (!control) fuzz::Fail(std::string("no control for ") + kind);
        control->ApplyAttributeList(text);
        control->SetPos({0, 0, 300, 200});
        control->EstimateSize({300, 200});
    }
    return 0;
}
