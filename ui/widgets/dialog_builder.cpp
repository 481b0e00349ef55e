#include "ui/widgets/dialog_builder.h"

#include <algorithm>

#include "platform/log.h"
#include "ui/widgets/buttons.h"
#include "ui/widgets/color_palette.h"
#include "ui/widgets/container.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"
#include "ui/widgets/menu.h"
#include "ui/widgets/paint_manager.h"
#include "ui/widgets/range.h"
#include "ui/widgets/resource_manager.h"

namespace q731 {

namespace {

template <typename T>
CControlFactory::Creator Make() {
    return [] { return std::make_unique<T>(); };
}

// Elements of <Window> that configure the window instead of making controls.
bool IsWindowSetting(std::string_view name) {
    return EqualsNoCase(name, "Font") || EqualsNoCase(name, "Default") ||
           EqualsNoCase(name, "Image") || EqualsNoCase(name, "Style");
}

}  // namespace

CControlFactory::CControlFactory() {
    RegistControl("Control", Make<CControlUI>());
    RegistControl("Container", Make<CContainerUI>());
    RegistControl("VerticalLayout", Make<CVerticalLayoutUI>());
    RegistControl("HorizontalLayout", Make<CHorizontalLayoutUI>());
    RegistControl("TabLayout", Make<CTabLayoutUI>());
    RegistControl("Label", Make<CLabelUI>());
    RegistControl("Text", Make<CLabelUI>());
    RegistControl("Button", Make<CButtonUI>());
    RegistControl("Option", Make<COptionUI>());
    RegistControl("CheckBox", Make<CCheckBoxUI>());
    RegistControl("Edit", Make<CEditUI>());
    RegistControl("RichEdit", Make<CRichEditUI>());
    RegistControl("Progress", Make<CProgressUI>());
    RegistControl("Slider", Make<CSliderUI>());
    RegistControl("Combo", Make<CComboUI>());
    RegistControl("List", Make<CListUI>());
    RegistControl("ListContainerElement", Make<CListContainerElementUI>());
    RegistControl("ListLabelElement", Make<CListLabelElementUI>());
    RegistControl("ColorPalette", Make<CColorPaletteUI>());
    RegistControl("Menu", Make<CVerticalLayoutUI>());
    RegistControl("MenuElement", Make<CMenuElementUI>());
}

CControlFactory& CControlFactory::GetInstance() {
    static CControlFactory factory;
    return factory;
}

void CControlFactory::RegistControl(std::string_view className, Creator creator) {
    if (className.empty() || !creator) return;
    creators_[ToLower(className)] = std::move(creator);
}

std::unique_ptr<CControlUI> CControlFactory::CreateControl(std::string_view className) const {
    auto it = creators_.find(ToLower(className));
    if (it == creators_.end()) return nullptr;
    return it->second();
}

bool CControlFactory::IsRegistered(std::string_view className) const {
    return creators_.count(ToLower(className)) > 0;
}

std::optional<XmlElement> CDialogBuilder::Load(std::string_view layout) {
    std::string text;
    if (LooksLikeXml(layout)) {
        text = std::string(layout);
    } else {
        std::string file(layout);
        if (auto mapped = CResourceManager::GetInstance().GetResourceFile(layout)) file = *mapped;
        auto read = ReadSkinFile(file);
        if (!read) {
            error_ = "cannot read layout " + file;
            return std::nullopt;
        }
        text = std::move(*read);
    }
    std::string why;
    auto doc = ParseXml(text, &why);
    if (!doc) error_ = "layout " + std::string(layout.substr(0, 80)) + ": " + why;
    return doc;
}

namespace {
thread_local int gBuildDepth = 0;
thread_local int gBuilt = 0;
struct BuildNesting {
    BuildNesting() {
        if (gBuildDepth++ == 0) gBuilt = 0;
    }
    ~BuildNesting() { --gBuildDepth; }
    BuildNesting(const BuildNesting&) = delete;
    BuildNesting& operator=(const BuildNesting&) = delete;
};
}  // namespace

std::unique_ptr<CControlUI> CDialogBuilder::Create(std::string_view layout, std::string_view,
                                                   IDialogBuilderCallback* callback,
                                                   CPaintManagerUI* manager) {
    callback_ = callback;
    manager_ = manager;
    error_.clear();
    // Builds started from inside a build (sub-trees a window builds for an
    // element) share the outermost build's budget.
    BuildNesting nesting;
    built_ = &gBuilt;
    auto doc = Load(layout);
    if (!doc) {
        LogWarning("dialog builder: " + error_);
        return nullptr;
    }
    auto root = CreateFrom(*doc, 0);
    if (!root && error_.empty()) error_ = "layout has no control";
    return root;
}

std::unique_ptr<CControlUI> CDialogBuilder::CreateFrom(const XmlElement& root, int depth) {
    if (!EqualsNoCase(root.name, "Window")) return BuildControl(root, depth);
    if (depth == 0) ApplyWindow(root);
    for (const XmlElement& child : root.children) {
        if (IsWindowSetting(child.name)) continue;
        if (auto control = BuildControl(child, depth)) return control;
    }
    return nullptr;
}

void CDialogBuilder::ApplyWindow(const XmlElement& window) {
    if (!manager_) return;
    for (const auto& [key, value] : window.attributes) {
        std::string name = ToLower(key);
        if (name == "size") {
            if (auto s = ParseSize(value)) manager_->SetInitSize(*s);
        } else if (name == "caption") {
            if (auto r = ParseRect(value)) manager_->SetCaptionRect(*r);
        } else if (name == "sizebox") {
            if (auto r = ParseRect(value)) manager_->SetSizeBox(*r);
        } else if (name == "mininfo") {
            if (auto s = ParseSize(value)) manager_->SetMinInfo(*s);
        }
    }
    for (const XmlElement& child : window.children) {
        if (EqualsNoCase(child.name, "Font")) {
            auto get = [&](const char* attr) {
                const std::string* v = child.Attribute(attr);
                return v ? *v : std::string();
            };
            auto id = ParseInt(get("id"));
            auto size = ParseInt(get("size"));
            bool shared = get("shared").empty() || ParseBool(get("shared"));
            if (!size) continue;
            if (ParseBool(get("default"))) {
                manager_->SetDefaultFont(get("name"), *size, ParseBool(get("bold")),
                                         ParseBool(get("underline")), ParseBool(get("italic")),
                                         shared);
            }
            if (id) {
                manager_->AddFont(*id, get("name"), *size, ParseBool(get("bold")),
                                  ParseBool(get("underline")), ParseBool(get("italic")), shared);
            }
        } else if (EqualsNoCase(child.name, "Default")) {
            const std::string* name = child.Attribute("name");
            const std::string* value = child.Attribute("value");
            if (name && value) manager_->AddDefaultAttributeList(*name, *value);
        }
    }
}

std::unique_ptr<CControlUI> CDialogBuilder::BuildControl(const XmlElement& element, int depth) {
    // Includes repeated inside includes multiply: a layout may not grow past this.
    if (++*built_ > kMaxControls) {
        if (*built_ == kMaxControls + 1) LogWarning("dialog builder: layout too large; cut short");
        return nullptr;
    }
    auto control = CControlFactory::GetInstance().CreateControl(element.name);
    if (!control && callback_) control = callback_->CreateControl(element.name);
    if (!control) {
        LogDebug("dialog builder: no control for <" + element.name + ">");
        return nullptr;
    }
    if (manager_) {
        if (const std::string* defaults = manager_->GetDefaultAttributeList(element.name)) {
            control->ApplyAttributeList(*defaults);
        }
    }
    for (const auto& [key, value] : element.attributes) {
        if (!control->SetAttribute(key, value)) {
            LogDebug("dialog builder: <" + element.name + "> ignores attribute " + key);
        }
    }
    BuildChildren(element, control.get(), depth);
    return control;
}

void CDialogBuilder::BuildChildren(const XmlElement& element, CControlUI* parent, int depth) {
    auto* container = dynamic_cast<CContainerUI*>(parent);
    for (const XmlElement& child : element.children) {
        if (!container) {
            LogDebug("dialog builder: <" + element.name + "> cannot hold <" + child.name + ">");
            continue;
        }
        if (EqualsNoCase(child.name, "Include")) {
            const std::string* source = child.Attribute("source");
            if (!source || depth + 1 > kMaxIncludeDepth) {
                LogWarning("dialog builder: include skipped (missing source or nested too deep)");
                continue;
            }
            int count = 1;
            if (const std::string* c = child.Attribute("count")) {
                count = std::clamp(ParseInt(*c).value_or(1), 0, kMaxIncludeCount);
            }
            auto doc = Load(*source);
            if (!doc) {
                LogWarning("dialog builder: " + error_);
                continue;
            }
            for (int i = 0; i < count; ++i) {
                if (auto included = CreateFrom(*doc, depth + 1))
                    container->Add(std::move(included));
            }
            continue;
        }
        if (auto control = BuildControl(child, depth)) container->Add(std::move(control));
    }
}

}  // namespace q731
