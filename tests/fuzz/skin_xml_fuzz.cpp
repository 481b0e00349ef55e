// Skin XML as the toolkit reads it: the bytes are parsed as XML, loaded as a
// language file and as the resource index, and built as a window layout (with
// the skin folder as the resource path, so includes of real files resolve),
// which is then laid out and painted on a headless platform.

#include <cstdint>
#include <string>

#include "platform/clock.h"
#include "platform/ui_loop.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/widgets/headless.h"
#include "ui/widgets/paint_manager.h"
#include "ui/widgets/render.h"
#include "ui/widgets/resource_manager.h"
#include "ui/widgets/window.h"
#include "ui/widgets/xml.h"

namespace {

using namespace q731;

class LayoutWindow final : public WindowImplBase {
public:
    LayoutWindow(std::string layout, UiLoop& loop)
        : WindowImplBase(loop), layout_(std::move(layout)) {}
    std::string GetWindowClassName() const override { return "FuzzWnd"; }
    std::string GetSkinFile() override { return layout_; }

private:
    std::string layout_;
};

struct Toolkit {
    Toolkit() : loop(clock), platform(loop) {
        SetUiPlatform(&platform);
        CPaintManagerUI::SetResourcePath(Q731_SOURCE_DIR "/skin");
    }
    ManualClock clock;
    UiLoop loop;
    HeadlessPlatform platform;
};

void ReadTexts(std::string_view text) {
    CResourceManager& resources = CResourceManager::GetInstance();
    resources.ResetLanguage();
    resources.ResetResourceMap();
    // Anything else would name a file to read.
    if (!LooksLikeXml(text)) return;
    if (resources.LoadLanguage(text)) resources.GetText("btn_ok");
    if (resources.LoadResource(text)) resources.GetResourceFile("XML_MAIN");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::SilenceLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static Toolkit toolkit;
    const std::string_view text = fuzz::AsText(data, size);
    std::string error;
    const bool parsed = ParseXml(text, &error).has_value();
    if (!parsed && error.empty()) fuzz::Fail("a refused document gave no reason");
    ReadTexts(text);
    if (!parsed || !LooksLikeXml(text)) return 0;

    LayoutWindow window{std::string(text), toolkit.loop};
    if (!window.Create(nullptr, "fuzz")) return 0;
    CPaintManagerUI& manager = *window.GetPaintManager();
    manager.UpdateLayout();
    RecordingRenderer renderer;
    manager.Paint(renderer, {0, 0, 4000, 4000});
    toolkit.loop.ProcessPending();
    return 0;
}
