#pragma once
// Building control trees from layouts. CControlFactory knows the element names
// of the toolkit's controls and of custom controls registered with
// RegistControl; CDialogBuilder reads a layout (XML text, a resource id of the
// index, or a file under the skin folder), creates one control per element,
// asks the window's callback for names it does not know, and returns the root.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "ui/widgets/control.h"
#include "ui/widgets/xml.h"

namespace q731 {

class CPaintManagerUI;

class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    // A control for an element name the toolkit does not know, or nullptr.
    virtual std::unique_ptr<CControlUI> CreateControl(std::string_view className) = 0;
};

class CControlFactory {
public:
    using Creator = std::function<std::unique_ptr<CControlUI>()>;

    static CControlFactory& GetInstance();
    // Makes `className` creatable from layouts (names compare without regard to case).
    void RegistControl(std::string_view className, Creator creator);
    std::unique_ptr<CControlUI> CreateControl(std::string_view className) const;
    bool IsRegistered(std::string_view className) const;

private:
    CControlFactory();
    std::map<std::string, Creator> creators_;
};

class CDialogBuilder {
public:
    // Includes nest at most this deep, so a layout that includes itself ends.
    static constexpr int kMaxIncludeDepth = 8;
    static constexpr int kMaxIncludeCount = 200;
    // Controls one layout may create, includes counted in.
    static constexpr int kMaxControls = 20000;

    // Builds the tree of `layout`. With a manager, the <Window> element's
    // settings (size, caption, fonts, defaults) are applied to it. Returns
    // nullptr when the layout cannot be found or read, or has no control.
    std::unique_ptr<CControlUI> Create(std::string_view layout, std::string_view type = {},
                                       IDialogBuilderCallback* callback = nullptr,
                                       CPaintManagerUI* manager = nullptr);
    const std::string& GetLastError() const { return error_; }

private:
    std::unique_ptr<CControlUI> CreateFrom(const XmlElement& root, int depth);
    std::unique_ptr<CControlUI> BuildControl(const XmlElement& element, int depth);
    void BuildChildren(const XmlElement& element, CControlUI* parent, int depth);
    void ApplyWindow(const XmlElement& window);
    std::optional<XmlElement> Load(std::string_view layout);

    IDialogBuilderCallback* callback_ = nullptr;
    CPaintManagerUI* manager_ = nullptr;
    std::string error_;
    int* built_ = nullptr;  // controls made so far by the outermost build
};

}  // namespace q731
